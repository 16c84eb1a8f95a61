#ifndef VELMARO_TESTS_TRACKING_FAKEHOST_H
#define VELMARO_TESTS_TRACKING_FAKEHOST_H

#include "tracking/trackingclient.h"
#include "tracking/trackinghost.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

// Plays the main window and its current race for the tracking client: keeps
// the ships as plain records, reads them from the database as the race does,
// counts the lamp like the window and records every call.
class FakeHost : public TrackingHost
{
public:
    struct Ship {
        Tracking::BoatInfo info;
        QVector<Tracking::Fix> fixes;
        bool hasPositions = false;
    };

    Tracking::RaceInfo race;
    QVector<Ship> ships;
    TrackingClient *client = nullptr;
    bool autoloadFlag = false;

    int pending = 0, ledOn = 0, ledOff = 0, placeCount = 0, clearCount = 0;
    int loadShipsCount = 0, pollRestarts = 0, notices = 0;
    QString lastFetch;

    void setRace(int eventId, int taskId, qint64 start, qint64 end)
    {
        race = {true, eventId, taskId, start, end};
    }

    QList<int> fixTimes(int index) const
    {
        QList<int> times;
        for (const Tracking::Fix &f : ships.at(index).fixes)
            times.append(f.tstamp);
        return times;
    }

    Tracking::RaceInfo currentRace() const override { return race; }
    int boatCount() const override { return int(ships.size()); }
    Tracking::BoatInfo boat(int index) const override
    {
        Tracking::BoatInfo info = ships.at(index).info;
        info.hasFixes = !ships.at(index).fixes.isEmpty();
        info.newestFix = 0;
        for (const Tracking::Fix &f : ships.at(index).fixes)
            info.newestFix = std::max(info.newestFix, f.tstamp);
        return info;
    }
    void clearShips() override
    {
        ships.clear();
        ++clearCount;
    }
    int loadShips(int eventId) override
    {
        ++loadShipsCount;
        QSqlQuery q;
        q.prepare(QStringLiteral("SELECT id, regatta_id, lastget FROM ship WHERE "
                                 "regatta_id=:regatta_id ORDER BY klasse, startnr"));
        q.bindValue(QStringLiteral(":regatta_id"), eventId);
        if (!q.exec())
            return 0;
        while (q.next()) {
            if (q.value(0).toInt() == 38)
                continue;
            Ship ship;
            ship.info.id = q.value(0).toInt();
            ship.info.regattaId = q.value(1).toInt();
            ship.info.lastget = q.value(2).toInt();
            ships.append(ship);
        }
        return int(ships.size());
    }
    bool loadTrack(int index) override
    {
        Ship &ship = ships[index];
        QSqlQuery q;
        q.prepare(QStringLiteral("SELECT lat, lng, tstamp FROM track WHERE ship_id=:ship_id AND "
                                 "regatta_id=:regatta_id ORDER BY tstamp"));
        q.bindValue(QStringLiteral(":ship_id"), ship.info.id);
        q.bindValue(QStringLiteral(":regatta_id"), ship.info.regattaId);
        q.exec();
        const qsizetype before = ship.fixes.size();
        while (q.next())
            ship.fixes.append({q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toInt()});
        const bool any = ship.fixes.size() > before;
        ship.hasPositions = ship.hasPositions || any;
        return any;
    }
    void setLastget(int index, int lastget) override { ships[index].info.lastget = lastget; }
    void appendFixes(int index, const QVector<Tracking::Fix> &fixes, int lastget) override
    {
        ships[index].fixes += fixes;
        ships[index].info.lastget = lastget;
        ships[index].hasPositions = true;
    }
    void placeShips() override { ++placeCount; }
    void setNetLedOn() override
    {
        ++ledOn;
        ++pending;
    }
    void setNetLedOff() override
    {
        ++ledOff;
        if (--pending > 0)
            return;
        pending = 0;
        if (client)
            client->setLoading(false);
    }
    void setLastFetchText(const QString &text) override { lastFetch = text; }
    bool autoload() const override { return autoloadFlag; }
    void restartPollTimer() override { ++pollRestarts; }
    void newVersionIsAvailable() override { ++notices; }
};

#endif
