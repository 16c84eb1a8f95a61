#ifndef VELMARO_SCENE_GPXEXPORT_H
#define VELMARO_SCENE_GPXEXPORT_H

#include <QDateTime>
#include <QList>
#include <QString>

class Ship;

// Tracks of a race as GPX 1.1 (https://www.topografix.com/GPX/1/1).
namespace Gpx
{

struct Point {
    double lat = 0.0;
    double lon = 0.0;
    qint64 time = 0; // Unix seconds
};

struct Track {
    QString name; // "GER 123 – Name"
    QString desc;
    QString type; // the boat class
    QList<Point> points;
};

struct Document {
    QString name;
    QDateTime time; // written in UTC; not written when invalid
    QList<Track> tracks;
};

// "<start number> – <name>", or the name alone without a start number.
QString trackName(const QString &startnr, const QString &name);

// One track per shown boat that has fixes, with every stored fix, in the
// order of the list.
QList<Track> tracksOf(const QList<Ship *> &ships);

// Writes the document atomically: the file appears complete or not at all,
// and an existing file is replaced only on success. Fixes outside the valid
// latitude range or not finite are left out; longitudes are brought into
// [-180, 180). Returns an empty string on success, else a message for the user.
QString write(const QString &path, const Document &document);

// Reads trk/trkseg/trkpt (lat, lon, time), the track name, desc and type and
// the metadata name and time; everything else is skipped. False with a
// message in `error` for a file that is not GPX or not well-formed XML.
bool read(const QString &path, Document *document, QString *error = nullptr);

// "yyyy-MM-ddThh:mm:ssZ" in UTC.
QString timeText(qint64 secs);

} // namespace Gpx

#endif
