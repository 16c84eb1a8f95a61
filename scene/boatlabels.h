#ifndef VELMARO_SCENE_BOATLABELS_H
#define VELMARO_SCENE_BOATLABELS_H

#include <QList>
#include <QRectF>
#include <QString>
#include <QVector>

class Ship;
struct LeaderboardRow;

namespace BoatLabels
{
// Which of the label boxes to draw, taken in the given order: a box is drawn
// when it overlaps none drawn before it, so the first ones win.
QVector<bool> spread(const QVector<QRectF> &boxes);

// Thins out the labels of the placed boats: the followed boat keeps its
// label, then the boats in list order.
void thinOut(const QList<Ship *> &ships);

// What the map tells about a boat under the cursor: sail number and name,
// skipper, speed and course, and the next mark with its distance when the
// ranking knows it (row may be null).
QString infoText(const Ship &ship, const LeaderboardRow *row);
} // namespace BoatLabels

#endif
