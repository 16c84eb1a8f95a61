#ifndef VELMARO_SCENE_VIDEOPLAN_H
#define VELMARO_SCENE_VIDEOPLAN_H

#include <QtGlobal>

// Which race moment each frame of a replay video shows: the moments from
// `from` on, `speed` race seconds per video second, at 30 frames a second,
// for (to - from) / speed seconds of video.
class VideoPlan
{
public:
    static constexpr int minSpeed = 1;
    static constexpr int maxSpeed = 86400;
    // An hour of video: more is a slip of the speed, not a wish.
    static constexpr int maxFrames = 3600 * 30;

    enum class Problem { None, EmptySpan, BadSpeed, TooLong };

    VideoPlan(qint64 from, qint64 to, int speed);

    Problem problem() const;
    qint64 from() const { return m_from; }
    qint64 to() const { return m_to; }
    int speed() const { return m_speed; }
    // At least one frame for a usable plan.
    int frameCount() const;
    // The race moment of frame i (Unix seconds); below 30 s a second several
    // frames share one moment, as the replay moves by whole seconds.
    qint64 momentAt(int frame) const;

private:
    qint64 m_from;
    qint64 m_to;
    int m_speed;
};

#endif
