#ifndef VELMARO_TESTS_TRACKING_FAKERACE_H
#define VELMARO_TESTS_TRACKING_FAKERACE_H

#include "platform/seams.h"
#include "store/boatstore.h"
#include "tracking/trackingclient.h"

// Plays the current race for the tracking client: keeps the boats as plain
// records, reads them from the database as the race does, applies what the
// client stored and counts the lamp like the window.
class FakeRace
{
public:
    struct Ship {
        Tracking::BoatInfo info;
        QVector<Tracking::Fix> fixes;
    };

    TrackingClient &client;
    Tracking::RaceInfo race;
    QVector<Ship> ships;
    int pending = 0;

    explicit FakeRace(TrackingClient &tracking) : client(tracking)
    {
        client.setBoatSource([this] { return infos(); });
        QObject::connect(&client, &TrackingClient::boatsStored, &m_context,
                         [this](int eventId) { reload(eventId); });
        QObject::connect(&client, &TrackingClient::lastgetChanged, &m_context,
                         [this](int index, int lastget) { ships[index].info.lastget = lastget; });
        QObject::connect(&client, &TrackingClient::fixesStored, &m_context,
                         [this](int index, const QVector<Tracking::Fix> &fixes, int lastget) {
                             ships[index].fixes += fixes;
                             ships[index].info.lastget = lastget;
                         });
        QObject::connect(&client, &TrackingClient::transferStarted, &m_context,
                         [this] { ++pending; });
        QObject::connect(&client, &TrackingClient::transferFinished, &m_context, [this] {
            if (--pending <= 0) {
                pending = 0;
                client.setLoading(false);
            }
        });
    }
    ~FakeRace() { client.setBoatSource({}); }

    // As the race object selects a race: the stored boats and fixes once it
    // has begun, then the client's part.
    void select(int eventId, int taskId, qint64 start, qint64 end)
    {
        race = {true, eventId, taskId, start, end};
        client.setRace(race);
        ships.clear();
        if (Seams::nowSecs() >= start)
            reload(eventId);
        client.loadRace();
    }

    int boatCount() const { return int(ships.size()); }
    QList<int> fixTimes(int index) const
    {
        QList<int> times;
        for (const Tracking::Fix &f : ships.at(index).fixes)
            times.append(f.tstamp);
        return times;
    }

private:
    QVector<Tracking::BoatInfo> infos() const
    {
        QVector<Tracking::BoatInfo> list;
        for (const Ship &ship : ships) {
            list.append(ship.info);
            list.last().hasFixes = !ship.fixes.isEmpty();
            list.last().newestFix = 0;
            for (const Tracking::Fix &f : ship.fixes)
                list.last().newestFix = std::max(list.last().newestFix, f.tstamp);
        }
        return list;
    }
    void reload(int eventId)
    {
        ships.clear();
        TrackReader reader;
        for (const BoatRow &row : BoatStore::boats(eventId)) {
            if (row.id == 38) // the race never shows boat 38
                continue;
            QVector<FixRow> rows;
            if (Seams::nowSecs() >= race.start)
                reader.read(row.id, row.regattaId, &rows);
            ships.append(Ship{{row.id, row.regattaId, row.lastget}, {}});
            for (const FixRow &f : rows)
                ships.last().fixes.append({f.lat, f.lng, f.tstamp});
        }
    }

    QObject m_context; // the connections end with the fake
};

#endif
