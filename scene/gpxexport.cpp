#include "scene/gpxexport.h"

#include "platform/identity.h"
#include "scene/ship.h"
#include "scene/track.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

namespace Gpx
{

namespace
{

const QString gpxNamespace = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString xsiNamespace = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");

QString number(double v)
{
    return QString::number(v, 'f', 6);
}

// GPX longitudes lie in [-180, 180).
double normalLongitude(double lon)
{
    double l = lon;
    if (l < -180.0 || l >= 180.0) {
        l = std::fmod(l + 180.0, 360.0);
        if (l < 0.0)
            l += 360.0;
        l -= 180.0;
    }
    // Six decimals may round 179.9999996 up to 180.000000.
    return l >= 179.9999995 ? -180.0 : l;
}

bool usable(const Point &p)
{
    return std::isfinite(p.lat) && std::isfinite(p.lon) && p.lat >= -90.0 && p.lat <= 90.0;
}

// XML 1.0 has no way to write most control characters, not even escaped; a
// boat name from the service may hold them, so they are left out.
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        const char16_t u = c.unicode();
        const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u < 0xD800) ||
                             (u >= 0xE000 && u <= 0xFFFD);
        if (allowed)
            out += c;
    }
    return out;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("Gpx", text);
}

} // namespace

QString timeText(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString trackName(const QString &startnr, const QString &name)
{
    const QString nr = startnr.trimmed();
    if (nr.isEmpty())
        return name;
    if (name.trimmed().isEmpty())
        return nr;
    return nr + QStringLiteral(" \u2013 ") + name;
}

QList<Track> tracksOf(const QList<Ship *> &ships)
{
    QList<Track> tracks;
    for (const Ship *ship : ships) {
        if (!ship || !ship->isShown() || !ship->rawTrack() || ship->rawTrack()->isEmpty())
            continue;
        Track track;
        track.name = trackName(ship->startnr(), ship->name());
        track.type = ship->klasse();
        QStringList desc;
        if (!ship->klasse().isEmpty())
            desc << QStringLiteral("Klasse: ") + ship->klasse();
        if (!ship->skipper().isEmpty())
            desc << QStringLiteral("Skipper: ") + ship->skipper();
        if (!ship->team().isEmpty())
            desc << QStringLiteral("Team: ") + ship->team();
        track.desc = desc.join(QStringLiteral(", "));
        const ::Track *raw = ship->rawTrack();
        track.points.reserve(raw->count());
        for (int i = 0; i < raw->count(); ++i)
            track.points.append(Point{raw->latAt(i), raw->lngAt(i), raw->timeAt(i)});
        tracks.append(track);
    }
    return tracks;
}

QString write(const QString &path, const Document &document)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return tr("Die Datei \u201e%1\u201c kann nicht geschrieben werden: %2")
            .arg(path, file.errorString());
    }

    double minLat = 90.0, maxLat = -90.0, minLon = 180.0, maxLon = -180.0;
    bool any = false;
    for (const Track &track : document.tracks) {
        for (const Point &p : track.points) {
            if (!usable(p))
                continue;
            const double lon = normalLongitude(p.lon);
            minLat = std::min(minLat, p.lat);
            maxLat = std::max(maxLat, p.lat);
            minLon = std::min(minLon, lon);
            maxLon = std::max(maxLon, lon);
            any = true;
        }
    }

    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(gpxNamespace);
    xml.writeNamespace(xsiNamespace, QStringLiteral("xsi"));
    xml.writeStartElement(gpxNamespace, QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"),
                       QStringLiteral("%1 %2").arg(QLatin1String(Identity::applicationName),
                                                   QLatin1String(Identity::version)));
    xml.writeAttribute(xsiNamespace, QStringLiteral("schemaLocation"),
                       gpxNamespace + QStringLiteral(" ") + gpxNamespace +
                           QStringLiteral("/gpx.xsd"));

    // Child order is fixed by the schema's sequences.
    xml.writeStartElement(gpxNamespace, QStringLiteral("metadata"));
    if (!document.name.isEmpty())
        xml.writeTextElement(gpxNamespace, QStringLiteral("name"), xmlText(document.name));
    if (document.time.isValid())
        xml.writeTextElement(gpxNamespace, QStringLiteral("time"),
                             timeText(document.time.toSecsSinceEpoch()));
    if (any) {
        xml.writeEmptyElement(gpxNamespace, QStringLiteral("bounds"));
        xml.writeAttribute(QStringLiteral("minlat"), number(minLat));
        xml.writeAttribute(QStringLiteral("minlon"), number(minLon));
        xml.writeAttribute(QStringLiteral("maxlat"), number(maxLat));
        xml.writeAttribute(QStringLiteral("maxlon"), number(maxLon));
    }
    xml.writeEndElement();

    for (const Track &track : document.tracks) {
        xml.writeStartElement(gpxNamespace, QStringLiteral("trk"));
        if (!track.name.isEmpty())
            xml.writeTextElement(gpxNamespace, QStringLiteral("name"), xmlText(track.name));
        if (!track.desc.isEmpty())
            xml.writeTextElement(gpxNamespace, QStringLiteral("desc"), xmlText(track.desc));
        if (!track.type.isEmpty())
            xml.writeTextElement(gpxNamespace, QStringLiteral("type"), xmlText(track.type));
        xml.writeStartElement(gpxNamespace, QStringLiteral("trkseg"));
        for (const Point &p : track.points) {
            if (!usable(p))
                continue;
            xml.writeStartElement(gpxNamespace, QStringLiteral("trkpt"));
            xml.writeAttribute(QStringLiteral("lat"), number(p.lat));
            xml.writeAttribute(QStringLiteral("lon"), number(normalLongitude(p.lon)));
            xml.writeTextElement(gpxNamespace, QStringLiteral("time"), timeText(p.time));
            xml.writeEndElement();
        }
        xml.writeEndElement(); // trkseg
        xml.writeEndElement(); // trk
    }
    xml.writeEndElement(); // gpx
    xml.writeEndDocument();

    if (xml.hasError()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return tr("Die Datei \u201e%1\u201c kann nicht geschrieben werden: %2").arg(path, reason);
    }
    if (!file.commit()) {
        return tr("Die Datei \u201e%1\u201c kann nicht gespeichert werden: %2")
            .arg(path, file.errorString());
    }
    return QString();
}

namespace
{

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

bool readTime(QXmlStreamReader &xml, qint64 *secs)
{
    const QString text = xml.readElementText().trimmed();
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return false;
    *secs = time.toSecsSinceEpoch();
    return true;
}

bool readPoint(QXmlStreamReader &xml, Point *point)
{
    bool okLat = false;
    bool okLon = false;
    point->lat = xml.attributes().value(QStringLiteral("lat")).toDouble(&okLat);
    point->lon = xml.attributes().value(QStringLiteral("lon")).toDouble(&okLon);
    if (!okLat || !okLon)
        return false;
    while (xml.readNextStartElement()) {
        if (xml.name() == QStringLiteral("time")) {
            if (!readTime(xml, &point->time))
                return false;
        } else {
            xml.skipCurrentElement();
        }
    }
    return true;
}

bool readTrack(QXmlStreamReader &xml, Track *track)
{
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QStringLiteral("name")) {
            track->name = xml.readElementText();
        } else if (name == QStringLiteral("desc")) {
            track->desc = xml.readElementText();
        } else if (name == QStringLiteral("type")) {
            track->type = xml.readElementText();
        } else if (name == QStringLiteral("trkseg")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QStringLiteral("trkpt")) {
                    Point p;
                    if (!readPoint(xml, &p))
                        return false;
                    track->points.append(p);
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return true;
}

} // namespace

bool read(const QString &path, Document *document, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    QXmlStreamReader xml(&file);
    *document = Document();
    if (!xml.readNextStartElement() || xml.name() != QStringLiteral("gpx"))
        return fail(error, tr("keine GPX-Datei"));
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QStringLiteral("metadata")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QStringLiteral("name")) {
                    document->name = xml.readElementText();
                } else if (xml.name() == QStringLiteral("time")) {
                    qint64 secs = 0;
                    if (!readTime(xml, &secs))
                        return fail(error, tr("ungültige Zeit in den Metadaten"));
                    document->time = QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
                } else {
                    xml.skipCurrentElement();
                }
            }
        } else if (name == QStringLiteral("trk")) {
            Track track;
            if (!readTrack(xml, &track))
                return fail(error, tr("ungültiger Trackpunkt in Zeile %1").arg(xml.lineNumber()));
            document->tracks.append(track);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return fail(error, xml.errorString());
    return true;
}

} // namespace Gpx
