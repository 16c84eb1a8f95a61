#include "scene/course.h"

#include "scene/coursetable.h"
#include "scene/gateitem.h"
#include "store/importedrace.h"

#include <QGraphicsScene>

QList<GateItem *> buildCourse(int eventId, int taskId)
{
    QList<GateItem *> gates;
    const QList<CourseRow> rows = CourseTable::rowsFor(eventId, taskId);
    gates.reserve(rows.size());
    for (const CourseRow &row : rows) {
        gates.append(new GateItem(row.latA, row.lngA, row.latB, row.lngB, row.bearingDeg,
                                  row.lengthKm, QString::fromUtf8(row.name), row.midpointCentre));
    }
    if (!rows.isEmpty())
        return gates;
    // An imported race keeps its course in the store. A single mark becomes a
    // short line across north, as the built-in marks are drawn; the ranking
    // counts it rounded on the line square to the leg.
    for (const ImportedRace::Mark &m : ImportedRace::marks(eventId, taskId)) {
        const bool single = m.latA == m.latB && m.lngA == m.lngB;
        gates.append(single ? new GateItem(m.latA, m.lngA, 0, 0, 90, 0.05, m.name, false)
                            : new GateItem(m.latA, m.lngA, m.latB, m.lngB, 0, 0, m.name, true));
    }
    return gates;
}

void placeGates(const QList<GateItem *> &gates, const MapProjection &projection,
                QGraphicsScene *scene)
{
    for (GateItem *gate : gates) {
        gate->reproject(projection);
        if (scene && gate->scene() != scene)
            scene->addItem(gate);
    }
}
