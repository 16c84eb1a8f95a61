#include "scene/boatlabels.h"

#include "scene/leaderboard.h"
#include "scene/ship.h"

#include <QCoreApplication>
#include <QStringList>

#include <cmath>

namespace BoatLabels
{

QVector<bool> spread(const QVector<QRectF> &boxes)
{
    QVector<bool> drawn(boxes.size(), false);
    QVector<QRectF> taken;
    taken.reserve(boxes.size());
    for (int i = 0; i < boxes.size(); ++i) {
        const QRectF &box = boxes.at(i);
        bool free = true;
        for (const QRectF &other : std::as_const(taken)) {
            if (other.intersects(box)) {
                free = false;
                break;
            }
        }
        if (free) {
            taken.append(box);
            drawn[i] = true;
        }
    }
    return drawn;
}

void thinOut(const QList<Ship *> &ships)
{
    QList<Ship *> placed;
    placed.reserve(ships.size());
    for (Ship *ship : ships) {
        if (ship->isShown() && ship->positionKnown() && ship->hasPositions()) {
            if (ship->follow())
                placed.prepend(ship);
            else
                placed.append(ship);
        }
    }
    QVector<QRectF> boxes;
    boxes.reserve(placed.size());
    for (const Ship *ship : std::as_const(placed))
        boxes.append(ship->labelRect());
    const QVector<bool> drawn = spread(boxes);
    for (int i = 0; i < placed.size(); ++i)
        placed.at(i)->setShowSpeedLabel(drawn.at(i));
}

QString infoText(const Ship &ship, const LeaderboardRow *row)
{
    QStringList lines;
    lines << QStringLiteral("%1 %2").arg(ship.startnr(), ship.name()).trimmed();
    if (!ship.skipper().isEmpty())
        lines << QCoreApplication::translate("BoatLabels", "Skipper: %1").arg(ship.skipper());
    QString motion = QCoreApplication::translate("BoatLabels", "%1 kn").arg(ship.speedText());
    if (const TrackPoint *point = ship.currentPoint())
        motion += QCoreApplication::translate("BoatLabels", ", Kurs %1°")
                      .arg(std::lround(point->heading) % 360);
    lines << motion;
    if (const int outliers = ship.rawTrack()->outlierCount())
        lines << QCoreApplication::translate("BoatLabels", "Ausreißer nicht gezeigt: %1")
                     .arg(outliers);
    if (row && row->finished)
        lines << QCoreApplication::translate("BoatLabels", "im Ziel");
    else if (row && !row->nextGateName.isEmpty() && std::isfinite(row->distanceNextKm))
        lines << QCoreApplication::translate("BoatLabels", "%1 km bis %2")
                     .arg(row->distanceNextKm, 0, 'f', 1)
                     .arg(row->nextGateName);
    return lines.join(QLatin1Char('\n'));
}

} // namespace BoatLabels
