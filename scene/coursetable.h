#ifndef VELMARO_SCENE_COURSETABLE_H
#define VELMARO_SCENE_COURSETABLE_H

#include <QList>
#include <QString>

// The built-in course definitions: one row per gate. A second end of exactly
// (0, 0) is derived from the first end, the bearing and the length.
struct CourseRow {
    const char *name;
    double latA;
    double lngA;
    double latB;
    double lngB;
    double bearingDeg;
    double lengthKm;
    bool midpointCentre;
};

namespace CourseTable
{
// All eleven rows, in course order.
const QList<CourseRow> &allRows();
// The seven rows of the short windward-leeward course (1 nm beats, three
// laps), in course order.
const QList<CourseRow> &windwardLeewardRows();
// The rows of the course of a race, empty for a race without a course.
QList<CourseRow> rowsFor(int eventId, int taskId);
} // namespace CourseTable

#endif
