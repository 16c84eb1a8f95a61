#include "scene/handicap.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace
{

QString tr(const char *text)
{
    return QCoreApplication::translate("Handicap", text);
}

bool parseNumber(QString text, double *value)
{
    text = text.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

} // namespace

namespace Handicap
{

double corrected(const Rating &rating, double elapsedSecs, double courseNm)
{
    if (!std::isfinite(elapsedSecs))
        return std::numeric_limits<double>::quiet_NaN();
    switch (rating.system) {
    case Rating::System::TimeOnTime:
        return elapsedSecs * rating.value;
    case Rating::System::TimeOnDistance:
        if (std::isfinite(courseNm))
            return elapsedSecs - rating.value * courseNm;
        break;
    case Rating::System::None:
        break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

RatingFile parseRatings(const QByteArray &data, const QList<NamedBoat> &boats)
{
    RatingFile file;
    // Sail numbers first: names are not always unique within a race.
    QHash<QString, QList<int>> bySailNumber;
    QHash<QString, QList<int>> byName;
    for (const NamedBoat &boat : boats) {
        if (!boat.startnr.trimmed().isEmpty())
            bySailNumber[boat.startnr.trimmed().toLower()].append(boat.id);
        if (!boat.name.trimmed().isEmpty())
            byName[boat.name.trimmed().toLower()].append(boat.id);
    }

    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    bool first = true;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const bool firstLine = first;
        first = false;
        const QString where = tr("Zeile %1").arg(i + 1);
        const QStringList fields = line.split(QLatin1Char(';'));
        if (fields.size() != 3) {
            file.errors.append(tr("%1: drei Felder erwartet (Boot; System; Wert), %2 gefunden")
                                   .arg(where)
                                   .arg(fields.size()));
            continue;
        }
        const QString key = fields.at(0).trimmed().toLower();
        const Rating::System system = Rating::systemFromText(fields.at(1));
        double value = 0.0;
        const bool number = parseNumber(fields.at(2), &value);
        if (firstLine && system == Rating::System::None && !number)
            continue; // a header
        QList<int> ids = bySailNumber.value(key);
        if (ids.isEmpty())
            ids = byName.value(key);
        if (key.isEmpty() || ids.isEmpty()) {
            file.errors.append(tr("%1: kein Boot mit Segelnummer oder Name „%2“")
                                   .arg(where, fields.at(0).trimmed()));
            continue;
        }
        if (ids.size() > 1) {
            file.errors.append(
                tr("%1: „%2“ passt auf mehrere Boote").arg(where, fields.at(0).trimmed()));
            continue;
        }
        if (system == Rating::System::None) {
            file.errors.append(tr("%1: unbekanntes System „%2“ (ToT oder ToD)")
                                   .arg(where, fields.at(1).trimmed()));
            continue;
        }
        if (!number || !Rating::isValid(system, value)) {
            file.errors.append(tr("%1: ungültiger Wert „%2“").arg(where, fields.at(2).trimmed()));
            continue;
        }
        file.ratings.insert(ids.first(), Rating{system, value});
    }
    return file;
}

QString systemText(Rating::System system)
{
    switch (system) {
    case Rating::System::TimeOnTime:
        return tr("Time-on-Time");
    case Rating::System::TimeOnDistance:
        return tr("Time-on-Distance");
    case Rating::System::None:
        break;
    }
    return QString();
}

QString ratingText(const Rating &rating)
{
    switch (rating.system) {
    case Rating::System::TimeOnTime:
        return tr("ToT %1").arg(rating.value, 0, 'f', 4);
    case Rating::System::TimeOnDistance:
        return tr("ToD %1 s/sm").arg(rating.value, 0, 'f', 1);
    case Rating::System::None:
        break;
    }
    return QString();
}

} // namespace Handicap
