#ifndef VELMARO_TRACKING_TRACKINGTYPES_H
#define VELMARO_TRACKING_TRACKINGTYPES_H

#include <QtGlobal>

// Plain records exchanged between the tracking code and the current-race
// object, so that the tracking code needs no scene items.
namespace Tracking
{

// The selected race.
struct RaceInfo {
    bool valid = false; // false while no race is selected
    int eventId = 0;
    int taskId = 0;
    qint64 start = 0; // Unix seconds
    qint64 end = 0;
};

// One boat of the current race's ship list.
struct BoatInfo {
    int id = 0;
    int regattaId = 0;     // the event number the boat is stored under
    int lastget = 0;       // newest fix already fetched; the since time of the next poll
    bool hasFixes = false; // fixes are held in memory
    int newestFix = 0;     // largest time stamp held in memory (when hasFixes)
};

// One downloaded fix: latitude, longitude, time stamp, heading and the
// service's fifth number, which nothing uses.
struct Fix {
    double lat = 0;
    double lng = 0;
    int tstamp = 0;
    double heading = 0;
    double extra = 0;
};

} // namespace Tracking

Q_DECLARE_TYPEINFO(Tracking::Fix, Q_PRIMITIVE_TYPE);

#endif
