#include "scene/course.h"

#include "scene/coursetable.h"
#include "scene/gateitem.h"

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
