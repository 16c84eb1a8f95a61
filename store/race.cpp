#include "store/race.h"

#include <limits>

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

bool isTooLarge(QStringView text, qint64 maxValue)
{
    QStringView digits = text.trimmed();
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    while (digits.startsWith(QLatin1Char('0')))
        digits = digits.mid(1);
    // Past 18 digits the value no longer fits the parser, but is surely too large.
    return digits.size() > 18 ||
           parsePositiveInteger(digits, std::numeric_limits<qint64>::max()) > maxValue;
}

bool isWellFormed(const Race &race)
{
    return race.eventId > 0 && race.taskId > 0 && !race.name.trimmed().isEmpty() &&
           race.start > 0 && race.start <= maxRaceTime && race.end <= maxRaceTime &&
           race.end > race.start;
}
