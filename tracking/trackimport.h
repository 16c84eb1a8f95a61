#ifndef VELMARO_TRACKING_TRACKIMPORT_H
#define VELMARO_TRACKING_TRACKIMPORT_H

#include "store/importedrace.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// A sailor's own recordings read as a race: GPX 1.0/1.1 tracks (one boat a
// track) with an optional course from a route or the waypoints, and NMEA 0183
// logs (one boat a file, from the RMC sentences).
namespace TrackImport
{

struct Fix {
    double lat = 0.0;
    double lng = 0.0;
    qint64 time = 0; // Unix seconds
};

struct Boat {
    QString name;
    QString klasse;
    QString startnr;
    QString file; // the file it came from, for the dialog
    QVector<Fix> fixes;
};

// A course mark: a gate between two ends, or a single mark (b == a).
struct Mark {
    QString name;
    double latA = 0.0;
    double lngA = 0.0;
    double latB = 0.0;
    double lngB = 0.0;
    bool isGate() const { return latA != latB || lngA != lngB; }
};

struct FileResult {
    QString path;
    QVector<Boat> boats; // only boats with good fixes
    QVector<Mark> marks;
    QString title;      // the GPX file's own name, when it has one
    QString refusal;    // the file is refused whole, for this reason
    int goodPoints = 0; // fixes kept
    int badPoints = 0;  // points left out
    QString firstProblem;
    bool refused() const { return !refusal.isEmpty(); }
    bool partlyBad() const { return !refused() && badPoints > 0; }
};

// GPX when the file starts like XML (or is named *.gpx), else NMEA.
FileResult readFile(const QString &path);
FileResult readGpx(QIODevice *device, const QString &path);
FileResult readNmea(QIODevice *device, const QString &path);

// "$...*HH": whether the two hex digits are the XOR of the bytes between.
bool checksumOk(QByteArrayView sentence);

// Splits "GER 123 – Name" (the GPX export's track names) into sail number
// and name; a name without the dash is all name.
void splitTrackName(const QString &trackName, QString *startnr, QString *name);

// Everything read from a set of files.
struct Batch {
    QVector<FileResult> files;
    bool anyRefused() const;
    bool anyPartlyBad() const;
    // One line per refused file, "name: reason".
    QStringList refusals() const;
    // One line per partly bad file, "name: n of m points left out (why)".
    QStringList partialNotes() const;
    // Every boat, in file order; the course of the first file that has one.
    QVector<Boat> boats() const;
    QVector<Mark> marks() const;
    // A name for the race: the first file's own name, else its file name.
    QString suggestedName() const;
};

Batch readFiles(const QStringList &paths);

// Stores the boats (with the class and sail numbers as edited) and the course
// as one race; see ImportedRace::store.
ImportedRace::Result storeRace(const QString &name, const QVector<Boat> &boats,
                               const QVector<Mark> &marks);

} // namespace TrackImport

#endif
