#include "ui/replayclock.h"

#include <QCoreApplication>

ReplayClock::ReplayClock(MsClock clock) : m_clock(std::move(clock))
{
    m_timer.start();
    m_lastMs = nowMs();
}

void ReplayClock::setMsClock(MsClock clock)
{
    m_clock = std::move(clock);
    restart();
}

QList<int> ReplayClock::choices()
{
    return {1, 10, 60, 300, live};
}

QString ReplayClock::key(int speed)
{
    if (!choices().contains(speed))
        speed = defaultSpeed;
    return speed == live ? QStringLiteral("live") : QString::number(speed);
}

int ReplayClock::fromKey(const QString &key)
{
    if (key == QLatin1String("live"))
        return live;
    bool ok = false;
    const int speed = key.toInt(&ok);
    return ok && speed != live && choices().contains(speed) ? speed : defaultSpeed;
}

QString ReplayClock::label(int speed)
{
    if (speed == live)
        return QCoreApplication::translate("ReplayClock", "Echtzeit");
    return QCoreApplication::translate("ReplayClock", "%1 s").arg(speed);
}

void ReplayClock::setSecondsPerTick(int speed)
{
    m_speed = choices().contains(speed) ? speed : defaultSpeed;
    restart();
}

void ReplayClock::restart()
{
    m_lastMs = nowMs();
    m_carryMs = 0;
}

int ReplayClock::nextStep()
{
    if (m_speed != live)
        return m_speed;
    const qint64 now = nowMs();
    // A clock that went back counts as no time.
    m_carryMs += qMax<qint64>(0, now - m_lastMs);
    m_lastMs = now;
    const qint64 seconds = m_carryMs / 1000;
    m_carryMs -= seconds * 1000;
    return static_cast<int>(qMin<qint64>(seconds, 1 << 30));
}

qint64 ReplayClock::nowMs() const
{
    return m_clock ? m_clock() : m_timer.elapsed();
}
