#include "store/race.h"

qint64 parsePositiveInteger(QStringView text, qint64 maxValue)
{
    const QStringView digits = text.trimmed();
    // 19 digits already reach the end of qint64.
    if (digits.isEmpty() || digits.size() > 18)
        return 0;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + (c.unicode() - '0');
    }
    return value > 0 && value <= maxValue ? value : 0;
}

bool isWellFormed(const Race &race)
{
    return race.eventId > 0 && race.taskId > 0 && !race.name.trimmed().isEmpty() &&
           race.start > 0 && race.start <= maxRaceTime && race.end <= maxRaceTime &&
           race.end > race.start;
}
