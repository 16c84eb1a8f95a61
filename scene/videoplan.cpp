#include "scene/videoplan.h"

#include "scene/videoencoder.h"

#include <algorithm>

VideoPlan::VideoPlan(qint64 from, qint64 to, int speed) : m_from(from), m_to(to), m_speed(speed) {}

VideoPlan::Problem VideoPlan::problem() const
{
    if (m_to <= m_from)
        return Problem::EmptySpan;
    if (m_speed < minSpeed || m_speed > maxSpeed)
        return Problem::BadSpeed;
    // Compared before multiplying: a span of centuries must not overflow.
    if ((m_to - m_from) / m_speed > maxFrames / VideoEncoder::framesPerSecond)
        return Problem::TooLong;
    return frameCount() > maxFrames ? Problem::TooLong : Problem::None;
}

int VideoPlan::frameCount() const
{
    if (m_to <= m_from || m_speed < minSpeed)
        return 0;
    const qint64 ticks = (m_to - m_from) * VideoEncoder::framesPerSecond;
    // Rounded to the nearest frame, so the video lasts (to - from) / speed.
    return int(std::clamp<qint64>((ticks + m_speed / 2) / m_speed, 1, qint64(maxFrames) + 1));
}

qint64 VideoPlan::momentAt(int frame) const
{
    return m_from + qint64(frame) * m_speed / VideoEncoder::framesPerSecond;
}
