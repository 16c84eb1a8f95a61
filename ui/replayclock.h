#ifndef VELMARO_UI_REPLAYCLOCK_H
#define VELMARO_UI_REPLAYCLOCK_H

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <functional>

// How much race time one animation tick covers: a fixed number of seconds,
// or (live) the real time that passed since the previous tick, measured, so
// that late ticks do not slow the replay down.
class ReplayClock
{
public:
    static constexpr int live = 0;
    static constexpr int defaultSpeed = 10;

    // Milliseconds of a monotonic clock; empty: QElapsedTimer.
    using MsClock = std::function<qint64()>;
    explicit ReplayClock(MsClock clock = {});
    void setMsClock(MsClock clock);

    // Seconds per tick in menu order; `live` last.
    static QList<int> choices();
    // Settings value ("1", "10", "60", "300", "live") and back; anything
    // else gives the default.
    static QString key(int speed);
    static int fromKey(const QString &key);
    static QString label(int speed);

    void setSecondsPerTick(int speed); // unknown values give the default
    int secondsPerTick() const { return m_speed; }
    bool isLive() const { return m_speed == live; }

    // An animation starts: live time counts from now.
    void restart();
    // Whole seconds the slider moves on this tick. Live: the real time since
    // the previous tick, the part short of a second carried to the next.
    int nextStep();

private:
    qint64 nowMs() const;

    MsClock m_clock;
    QElapsedTimer m_timer;
    qint64 m_lastMs = 0;
    qint64 m_carryMs = 0;
    int m_speed = defaultSpeed;
};

#endif
