#include "scene/sailinglegs.h"

#include <cmath>

namespace Sailing
{

LegKind legKind(double course, double windFrom)
{
    if (std::abs(Geo::angleDiff(course, windFrom)) < legSectorDeg)
        return LegKind::Upwind;
    if (std::abs(Geo::angleDiff(course, windFrom + 180.0)) < legSectorDeg)
        return LegKind::Downwind;
    return LegKind::Reach;
}

QVector<QPair<GeoPoint, GeoPoint>> laylines(const GeoPoint &boat, const GeoPoint &mark,
                                            double windFrom, double tackingAngle)
{
    QVector<QPair<GeoPoint, GeoPoint>> lines;
    const LegKind kind = legKind(Geo::bearingTo(boat, mark), windFrom);
    if (kind == LegKind::Reach)
        return lines;
    const double length = Geo::distanceKm(boat, mark) * 1.5 + 0.2;
    const double back = kind == LegKind::Upwind ? windFrom + 180.0 : windFrom;
    const double half = kind == LegKind::Upwind ? tackingAngle / 2.0 : 30.0;
    for (const double side : {-1.0, 1.0})
        lines.append({mark, Geo::destinationPoint(mark, length, back + side * half)});
    return lines;
}

} // namespace Sailing
