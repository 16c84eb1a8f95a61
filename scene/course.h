#ifndef VELMARO_SCENE_COURSE_H
#define VELMARO_SCENE_COURSE_H

#include <QList>

class GateItem;
class MapProjection;
class QGraphicsScene;

// New gates of the course of a race (event id, task id), in course order: the
// built-in table, else the marks stored with an imported race; none for a
// race without a course. The caller owns them and deletes the gates of
// the previous course itself (deleting a gate removes it from its scene).
QList<GateItem *> buildCourse(int eventId, int taskId);

// Projects the ends of every gate for the projection and adds the gates that
// are not in the scene yet. The scene does not take over the ownership the
// caller keeps through its list.
void placeGates(const QList<GateItem *> &gates, const MapProjection &projection,
                QGraphicsScene *scene);

#endif
