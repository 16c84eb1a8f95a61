#ifndef VELMARO_STORE_MOMENT_H
#define VELMARO_STORE_MOMENT_H

#include <QString>
#include <QVector>

// A moment of a race worth coming back to: the replay time, the followed boat
// and the map's centre and zoom. Kept per race in table moment and shared as
// a link:
//   velmaro://race/EVENT/TASK?time=2011-04-16T10:00:00Z&boat=ID&centre=LAT,LON&zoom=Z&name=N
// (boat and name optional; time also as Unix seconds).
struct Moment {
    int id = 0; // row id, 0 when not stored
    int eventId = 0;
    int taskId = 0;
    QString name;
    qint64 time = 0; // Unix seconds
    int shipId = 0;  // 0: no boat followed
    double lat = 0.0;
    double lng = 0.0;
    int zoom = 0;

    bool operator==(const Moment &o) const
    {
        return id == o.id && eventId == o.eventId && taskId == o.taskId && name == o.name &&
               time == o.time && shipId == o.shipId && lat == o.lat && lng == o.lng &&
               zoom == o.zoom;
    }
};

namespace MomentLink
{

inline constexpr int maxZoom = 22;

QString toLink(const Moment &moment);

struct Parsed {
    bool ok = false;
    Moment moment; // id 0, when ok
    QString error; // a German sentence for the user, when not ok
};

// Reads a link as toLink writes it; anything else is refused with the reason.
Parsed parse(const QString &text);

// Whether a command-line argument is meant as such a link.
bool looksLikeLink(const QString &argument);

} // namespace MomentLink

// The moments stored for each race, on the default connection.
namespace MomentStore
{

// Oldest first; empty when there are none or the query failed.
QVector<Moment> moments(int eventId, int taskId);
// Stores a new row and sets moment->id; false with error on failure.
bool add(Moment *moment, QString *error = nullptr);
bool remove(int id, QString *error = nullptr);

} // namespace MomentStore

#endif
