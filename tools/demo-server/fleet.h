#ifndef VELMARO_TOOLS_DEMOSERVER_FLEET_H
#define VELMARO_TOOLS_DEMOSERVER_FLEET_H

#include "demoserver.h"

#include <QList>
#include <QVector>

// Synthesized fleets and tracks of the demo races. Everything here is a pure
// function of the seed and the race, so two servers with one seed agree.
namespace DemoFleet
{

// Boats of the race at raceIndex (0, 1, 2, ...). Ids are unique across races
// and never 38. A big fleet has bigFleetSize boats in all five classes.
constexpr int bigFleetSize = 250;
QList<DemoServer::Boat> makeFleet(quint32 seed, int raceIndex, const DemoServer::Race &race,
                                  int boatsPerRace, bool bigFleet = false);

// Waypoints of a race: the gate centres of its course, in course order.
struct Waypoint {
    double lat = 0;
    double lng = 0;
};
QVector<Waypoint> courseWaypoints(int eventId, int taskId);

// Track of one boat from the race start to its end, one fix every
// fixMin..fixMax seconds, sailing from waypoint to waypoint.
QVector<DemoServer::Fix> makeTrack(quint32 seed, const DemoServer::Race &race,
                                   const DemoServer::Boat &boat, const QVector<Waypoint> &course,
                                   int fixMin, int fixMax);

// The true wind of a windward-leeward race at moment t (Unix seconds): the
// direction it comes from, degrees in [0, 360). A slow oscillation and two
// persistent shifts, a pure function of the seed and the race.
double windFrom(quint32 seed, const DemoServer::Race &race, qint64 t);

// Track of one boat of a windward-leeward race, one fix a second from the
// start to the end (exclusive): beats close-hauled with tacks, runs with
// gybes, rounding the marks of the course in order, with GPS noise.
QVector<DemoServer::Fix> makeWindwardTrack(quint32 seed, const DemoServer::Race &race,
                                           const DemoServer::Boat &boat,
                                           const QVector<Waypoint> &course);

} // namespace DemoFleet

#endif
