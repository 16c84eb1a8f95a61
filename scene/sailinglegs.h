#ifndef VELMARO_SCENE_SAILINGLEGS_H
#define VELMARO_SCENE_SAILINGLEGS_H

#include "map/geo.h"

#include <QPair>
#include <QVector>

// How a leg lies to the wind, and the laylines of its mark. Directions in
// degrees clockwise from north, the wind as the direction it comes from.
namespace Sailing
{

enum class LegKind { Upwind, Downwind, Reach };

// A course within this angle of where the wind comes from is a beat, within
// it of where the wind goes a run; anything between is a reach.
inline constexpr double legSectorDeg = 60.0;

LegKind legKind(double course, double windFrom);

// The laylines to `mark` for a boat at `boat`: on a beat they run downwind
// from the mark at half the boat's tacking angle either side, on a run
// upwind at half a gybing angle (60°), each half as long again as the
// distance to the mark and 200 m more. None on a reach.
QVector<QPair<GeoPoint, GeoPoint>> laylines(const GeoPoint &boat, const GeoPoint &mark,
                                            double windFrom, double tackingAngle);

} // namespace Sailing

#endif
