#include "tracking/trackimport.h"

#include "store/race.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <cmath>

namespace TrackImport
{

namespace
{

const QString gpx10 = QStringLiteral("http://www.topografix.com/GPX/1/0");
const QString gpx11 = QStringLiteral("http://www.topografix.com/GPX/1/1");

bool validPosition(double lat, double lng)
{
    return std::isfinite(lat) && std::isfinite(lng) && lat >= -90.0 && lat <= 90.0 &&
           lng >= -180.0 && lng <= 180.0;
}

// Counts a point left out, keeping the first reason for the message.
void badPoint(FileResult *result, const QString &why)
{
    if (result->badPoints++ == 0)
        result->firstProblem = why;
}

// Appends a fix unless its time is out of range or before the boat's last one.
void addFix(FileResult *result, Boat *boat, const Fix &fix, qint64 line)
{
    if (fix.time <= 0 || fix.time > maxRaceTime) {
        badPoint(result, QCoreApplication::translate("TrackImport",
                                                     "Zeit außerhalb von 1970 bis 2038 (Zeile %1)")
                             .arg(line));
        return;
    }
    if (!boat->fixes.isEmpty() && fix.time < boat->fixes.last().time) {
        badPoint(result,
                 QCoreApplication::translate("TrackImport", "Zeit vor der vorigen (Zeile %1)")
                     .arg(line));
        return;
    }
    // Fixes are kept to the second: of a faster log the first of each second stays.
    if (!boat->fixes.isEmpty() && fix.time == boat->fixes.last().time)
        return;
    boat->fixes.append(fix);
    ++result->goodPoints;
}

// Why a file without any good fix is refused.
void refuseWhenEmpty(FileResult *result, const QString &nothingRead)
{
    if (result->goodPoints > 0)
        return;
    result->boats.clear();
    result->refusal = result->badPoints > 0 ? result->firstProblem : nothingRead;
}

QString baseName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

// --- GPX --------------------------------------------------------------------

class GpxReader
{
public:
    GpxReader(QIODevice *device, FileResult *result) : m_xml(device), m_result(result) {}

    void read()
    {
        if (!m_xml.readNextStartElement()) {
            m_result->refusal = notXml();
            return;
        }
        m_ns = m_xml.namespaceUri().toString();
        if (m_xml.name() != QStringLiteral("gpx") || (m_ns != gpx10 && m_ns != gpx11)) {
            m_result->refusal =
                QCoreApplication::translate(
                    "TrackImport",
                    "kein GPX 1.0 oder 1.1 (Element \u201e%1\u201c, Namensraum \u201e%2\u201c)")
                    .arg(m_xml.name().toString(), m_ns);
            return;
        }
        QVector<Mark> route;
        QVector<Mark> waypoints;
        int tracks = 0;
        while (readChild()) {
            const auto name = m_xml.name();
            if (name == QStringLiteral("trk")) {
                Boat boat;
                readTrack(&boat);
                ++tracks;
                if (boat.name.isEmpty())
                    boat.name = m_fileName.isEmpty() ? baseName(m_result->path) : m_fileName;
                if (!boat.fixes.isEmpty())
                    m_result->boats.append(boat);
            } else if (name == QStringLiteral("rte") && route.isEmpty()) {
                while (readChild()) {
                    if (m_xml.name() == QStringLiteral("rtept"))
                        readMark(&route);
                    else
                        m_xml.skipCurrentElement();
                }
            } else if (name == QStringLiteral("wpt")) {
                readMark(&waypoints);
            } else if (name == QStringLiteral("metadata")) {
                while (readChild()) {
                    if (m_xml.name() == QStringLiteral("name"))
                        m_fileName = m_xml.readElementText().trimmed();
                    else
                        m_xml.skipCurrentElement();
                }
            } else if (name == QStringLiteral("name") && m_ns == gpx10) {
                m_fileName = m_xml.readElementText().trimmed();
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError()) {
            m_result->boats.clear();
            m_result->refusal = notXml();
            return;
        }
        // Several unnamed tracks of one file still need names of their own.
        if (tracks > 1) {
            for (int i = 0; i < m_result->boats.size(); ++i) {
                Boat &boat = m_result->boats[i];
                if (boat.name == baseName(m_result->path) || boat.name == m_fileName)
                    boat.name += QStringLiteral(" (%1)").arg(i + 1);
            }
        }
        m_result->marks = pairGates(route.isEmpty() ? waypoints : route);
        m_result->title = m_fileName;
        if (m_withoutTime > 0 && m_withoutTime == m_result->badPoints && m_result->goodPoints == 0)
            m_result->refusal = QCoreApplication::translate("TrackImport", "keine Zeitstempel");
        else
            refuseWhenEmpty(m_result,
                            QCoreApplication::translate("TrackImport", "keine Trackpunkte"));
        if (m_result->refused())
            m_result->marks.clear();
    }

private:
    QString notXml() const
    {
        return QCoreApplication::translate("TrackImport", "kein gültiges XML (%1, Zeile %2)")
            .arg(m_xml.errorString())
            .arg(m_xml.lineNumber());
    }

    // The next child element in the file's own namespace; others (extensions
    // of other programs) are skipped.
    bool readChild()
    {
        while (m_xml.readNextStartElement()) {
            if (m_xml.namespaceUri() == m_ns)
                return true;
            m_xml.skipCurrentElement();
        }
        return false;
    }

    void readTrack(Boat *boat)
    {
        while (readChild()) {
            const auto name = m_xml.name();
            if (name == QStringLiteral("name")) {
                splitTrackName(m_xml.readElementText().trimmed(), &boat->startnr, &boat->name);
            } else if (name == QStringLiteral("type")) {
                boat->klasse = m_xml.readElementText().trimmed();
            } else if (name == QStringLiteral("trkseg")) {
                while (readChild()) {
                    if (m_xml.name() == QStringLiteral("trkpt"))
                        readPoint(boat);
                    else
                        m_xml.skipCurrentElement();
                }
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }

    bool readPosition(double *lat, double *lng)
    {
        bool okLat = false;
        bool okLon = false;
        *lat = m_xml.attributes().value(QStringLiteral("lat")).toDouble(&okLat);
        *lng = m_xml.attributes().value(QStringLiteral("lon")).toDouble(&okLon);
        return okLat && okLon && validPosition(*lat, *lng);
    }

    void readPoint(Boat *boat)
    {
        const qint64 line = m_xml.lineNumber();
        Fix fix;
        const bool placed = readPosition(&fix.lat, &fix.lng);
        QString timeText;
        while (readChild()) {
            if (m_xml.name() == QStringLiteral("time"))
                timeText = m_xml.readElementText().trimmed();
            else
                m_xml.skipCurrentElement();
        }
        if (m_xml.hasError())
            return;
        if (!placed) {
            badPoint(m_result,
                     QCoreApplication::translate("TrackImport", "ungültige Position (Zeile %1)")
                         .arg(line));
            return;
        }
        if (timeText.isEmpty()) {
            ++m_withoutTime;
            badPoint(m_result,
                     QCoreApplication::translate("TrackImport", "Punkt ohne Zeitstempel (Zeile %1)")
                         .arg(line));
            return;
        }
        const QDateTime time = QDateTime::fromString(timeText, Qt::ISODateWithMs);
        if (!time.isValid()) {
            badPoint(m_result, QCoreApplication::translate(
                                   "TrackImport", "ungültige Zeit \u201e%1\u201c (Zeile %2)")
                                   .arg(timeText)
                                   .arg(line));
            return;
        }
        fix.time = time.toSecsSinceEpoch();
        addFix(m_result, boat, fix, line);
    }

    void readMark(QVector<Mark> *marks)
    {
        Mark mark;
        const bool placed = readPosition(&mark.latA, &mark.lngA);
        while (readChild()) {
            if (m_xml.name() == QStringLiteral("name"))
                mark.name = m_xml.readElementText().trimmed();
            else
                m_xml.skipCurrentElement();
        }
        if (!placed)
            return;
        mark.latB = mark.latA;
        mark.lngB = mark.lngA;
        marks->append(mark);
    }

    // Two points in a row with the same name are the ends of one gate.
    static QVector<Mark> pairGates(const QVector<Mark> &points)
    {
        QVector<Mark> marks;
        for (int i = 0; i < points.size(); ++i) {
            Mark mark = points.at(i);
            if (i + 1 < points.size() && !mark.name.isEmpty() &&
                points.at(i + 1).name == mark.name) {
                mark.latB = points.at(i + 1).latA;
                mark.lngB = points.at(i + 1).lngA;
                ++i;
            }
            if (mark.name.isEmpty())
                mark.name =
                    QCoreApplication::translate("TrackImport", "Marke %1").arg(marks.size() + 1);
            marks.append(mark);
        }
        return marks;
    }

    QXmlStreamReader m_xml;
    FileResult *m_result;
    QString m_ns;
    QString m_fileName;
    int m_withoutTime = 0;
};

// --- NMEA -------------------------------------------------------------------

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "ddmm.mmmm" with the hemisphere letter; NaN when malformed.
double nmeaAngle(const QByteArray &value, const QByteArray &hemisphere, int degreeDigits,
                 char negative, char positive)
{
    const double nan = std::nan("");
    const int dot = value.indexOf('.');
    const int head = dot < 0 ? value.size() : dot;
    if (head != degreeDigits + 2)
        return nan;
    bool okDeg = false;
    bool okMin = false;
    const int degrees = value.left(degreeDigits).toInt(&okDeg);
    const double minutes = value.mid(degreeDigits).toDouble(&okMin);
    if (!okDeg || !okMin || minutes < 0.0 || minutes >= 60.0)
        return nan;
    const double angle = degrees + minutes / 60.0;
    if (hemisphere.size() == 1 && hemisphere.at(0) == positive)
        return angle;
    if (hemisphere.size() == 1 && hemisphere.at(0) == negative)
        return -angle;
    return nan;
}

// Time "hhmmss(.ss)" and date "ddmmyy" of an RMC sentence; 0 when malformed.
qint64 nmeaTime(const QByteArray &time, const QByteArray &date)
{
    if (time.size() < 6 || date.size() != 6)
        return 0;
    bool ok[6] = {};
    const int hh = time.left(2).toInt(&ok[0]);
    const int mm = time.mid(2, 2).toInt(&ok[1]);
    const int ss = time.mid(4, 2).toInt(&ok[2]);
    const int day = date.left(2).toInt(&ok[3]);
    const int month = date.mid(2, 2).toInt(&ok[4]);
    const int yy = date.mid(4, 2).toInt(&ok[5]);
    for (bool b : ok)
        if (!b)
            return 0;
    // Two-digit years: receivers of the last century are gone, so 80..99 are
    // the only 1900s.
    const QDate d(yy < 80 ? 2000 + yy : 1900 + yy, month, day);
    const QTime t(hh, mm, ss);
    if (!d.isValid() || !t.isValid())
        return 0;
    return QDateTime(d, t, QTimeZone::utc()).toSecsSinceEpoch();
}

} // namespace

bool checksumOk(QByteArrayView sentence)
{
    const qsizetype star = sentence.lastIndexOf('*');
    if (sentence.size() < 2 || (sentence.at(0) != '$' && sentence.at(0) != '!') || star < 1 ||
        star + 3 != sentence.size())
        return false;
    const int hi = hexDigit(sentence.at(star + 1));
    const int lo = hexDigit(sentence.at(star + 2));
    if (hi < 0 || lo < 0)
        return false;
    unsigned char sum = 0;
    for (qsizetype i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(sentence.at(i));
    return sum == ((hi << 4) | lo);
}

void splitTrackName(const QString &trackName, QString *startnr, QString *name)
{
    const QString dash = QStringLiteral(" \u2013 ");
    const qsizetype at = trackName.indexOf(dash);
    if (at > 0) {
        *startnr = trackName.left(at).trimmed();
        *name = trackName.mid(at + dash.size()).trimmed();
    } else {
        *name = trackName;
    }
}

FileResult readGpx(QIODevice *device, const QString &path)
{
    FileResult result;
    result.path = path;
    GpxReader(device, &result).read();
    return result;
}

FileResult readNmea(QIODevice *device, const QString &path)
{
    FileResult result;
    result.path = path;
    Boat boat;
    boat.name = baseName(path);
    boat.file = path;
    int gga = 0;
    qint64 line = 0;
    while (!device->atEnd()) {
        const QByteArray text = device->readLine(4096).trimmed();
        ++line;
        if (text.isEmpty())
            continue;
        if (!checksumOk(text)) {
            badPoint(&result,
                     text.startsWith('$') || text.startsWith('!')
                         ? QCoreApplication::translate("TrackImport",
                                                       "Prüfsumme fehlt oder ist falsch (Zeile %1)")
                               .arg(line)
                         : QCoreApplication::translate("TrackImport", "kein NMEA-Satz (Zeile %1)")
                               .arg(line));
            continue;
        }
        const QList<QByteArray> fields = text.left(text.size() - 3).split(',');
        const QByteArray type = fields.first().mid(3);
        if (type == "GGA") {
            ++gga;
            continue;
        }
        if (type != "RMC")
            continue;
        // A receiver without a fix says so with status V; that is no fault.
        if (fields.size() < 10 || fields.at(2) == "V")
            continue;
        Fix fix;
        fix.lat = nmeaAngle(fields.at(3), fields.at(4), 2, 'S', 'N');
        fix.lng = nmeaAngle(fields.at(5), fields.at(6), 3, 'W', 'E');
        fix.time = nmeaTime(fields.at(1), fields.at(9));
        if (!validPosition(fix.lat, fix.lng)) {
            badPoint(&result,
                     QCoreApplication::translate("TrackImport", "ungültige Position (Zeile %1)")
                         .arg(line));
            continue;
        }
        if (fix.time == 0) {
            badPoint(&result, QCoreApplication::translate(
                                  "TrackImport", "ungültige Zeit oder ungültiges Datum (Zeile %1)")
                                  .arg(line));
            continue;
        }
        addFix(&result, &boat, fix, line);
    }
    if (result.goodPoints > 0)
        result.boats.append(boat);
    if (result.goodPoints == 0 && gga > 0)
        result.refusal = QCoreApplication::translate(
            "TrackImport", "nur GGA-Sätze ohne Datum; RMC-Sätze werden gebraucht");
    else
        refuseWhenEmpty(&result, QCoreApplication::translate("TrackImport", "keine RMC-Sätze"));
    return result;
}

FileResult readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        FileResult result;
        result.path = path;
        result.refusal = QCoreApplication::translate("TrackImport", "kann nicht gelesen werden: %1")
                             .arg(file.errorString());
        return result;
    }
    const QByteArray head = file.peek(256).trimmed();
    const bool xml = head.startsWith('<') || head.startsWith("\xEF\xBB\xBF");
    if (xml || path.endsWith(QStringLiteral(".gpx"), Qt::CaseInsensitive)) {
        FileResult result = readGpx(&file, path);
        for (Boat &boat : result.boats)
            boat.file = path;
        return result;
    }
    return readNmea(&file, path);
}

bool Batch::anyRefused() const
{
    for (const FileResult &f : files)
        if (f.refused())
            return true;
    return false;
}

bool Batch::anyPartlyBad() const
{
    for (const FileResult &f : files)
        if (f.partlyBad())
            return true;
    return false;
}

QStringList Batch::refusals() const
{
    QStringList lines;
    for (const FileResult &f : files)
        if (f.refused())
            lines << QStringLiteral("%1: %2").arg(QFileInfo(f.path).fileName(), f.refusal);
    return lines;
}

QStringList Batch::partialNotes() const
{
    QStringList lines;
    for (const FileResult &f : files) {
        if (!f.partlyBad())
            continue;
        lines << QCoreApplication::translate("TrackImport",
                                             "%1: %2 von %3 Punkten ausgelassen (%4)")
                     .arg(QFileInfo(f.path).fileName())
                     .arg(f.badPoints)
                     .arg(f.badPoints + f.goodPoints)
                     .arg(f.firstProblem);
    }
    return lines;
}

QVector<Boat> Batch::boats() const
{
    QVector<Boat> all;
    for (const FileResult &f : files)
        all += f.boats;
    return all;
}

QVector<Mark> Batch::marks() const
{
    for (const FileResult &f : files)
        if (!f.marks.isEmpty())
            return f.marks;
    return {};
}

QString Batch::suggestedName() const
{
    if (files.isEmpty())
        return {};
    return files.first().title.isEmpty() ? baseName(files.first().path) : files.first().title;
}

Batch readFiles(const QStringList &paths)
{
    Batch batch;
    for (const QString &path : paths)
        batch.files.append(readFile(path));
    return batch;
}

ImportedRace::Result storeRace(const QString &name, const QVector<Boat> &boats,
                               const QVector<Mark> &marks)
{
    QVector<ImportedRace::Boat> rows;
    rows.reserve(boats.size());
    for (const Boat &boat : boats) {
        ImportedRace::Boat row{
            boat.name.trimmed(), boat.klasse.trimmed(), boat.startnr.trimmed(), {}};
        row.fixes.reserve(boat.fixes.size());
        for (const Fix &fix : boat.fixes)
            row.fixes.append({fix.lat, fix.lng, int(fix.time)});
        rows.append(row);
    }
    QVector<ImportedRace::Mark> course;
    for (const Mark &m : marks)
        course.append({m.name, m.latA, m.lngA, m.latB, m.lngB});
    return ImportedRace::store(name, rows, course);
}

} // namespace TrackImport
