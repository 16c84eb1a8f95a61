// The race store on a version-7 database: adding races by hand and from a
// list, a reopen of the file, removal with boats and fixes in one
// transaction, and the dialog's validation; the preferences and the race and
// boat switches written and read back.
#include "store/boatstore.h"
#include "store/preferences.h"
#include "store/racestore.h"

#include "testdatabase.h"
#include "trackingschema.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(RaceStore::RaceInput)

using RaceStore::RaceInput;
using RaceStore::RacePair;
using Inserted = RaceStore::InsertResult;
using Removed = RaceStore::RemoveResult;

namespace
{

const Race liveRace{0, 30, 300, QStringLiteral("Kieler Woche Live"), 1700000000 - 10800,
                          1700000000 + 86400};
const Race second{0, 31, 1, QStringLiteral("Zweite"), 1800000000, 1800003600};

Race stored(Race race, int id)
{
    race.id = id;
    return race;
}

} // namespace

class TestRaceStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;

    // Boats and fixes stored under an event number, as the ingest leaves them.
    bool addBoats(int eventId, int boats, int fixesPerBoat)
    {
        QStringList sql;
        const int first = eventId == 10 ? 200 : 100;
        for (int id = first; id < first + boats; ++id) {
            sql << QStringLiteral("INSERT INTO ship (id, regatta_id, name, klasse, startnr, "
                                  "farbe, lastget, show, follow) VALUES (%1, %2, 'Boot', 'A', "
                                  "'%1', '#ff0000', 0, 'true', 'false')")
                       .arg(id)
                       .arg(eventId);
            for (int f = 0; f < fixesPerBoat; ++f)
                sql << QStringLiteral("INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                                      "VALUES (%1, %2, %3, 54.3, 10.1)")
                           .arg(id)
                           .arg(eventId)
                           .arg(1700000000 + f * 30);
        }
        return m_db->exec(sql);
    }
    // Rows of regatta, ship and track stored for an event.
    QList<int> counts(int eventId)
    {
        const QString where = QStringLiteral("regatta_id=%1").arg(eventId);
        return {m_db->count("regatta", QStringLiteral("event_id=%1").arg(eventId)),
                m_db->count("ship", where), m_db->count("track", where)};
    }

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->exec(trackingSchema()));
    }
    void cleanup() { m_db.reset(); }

    void insertListsNewestStartFirst()
    {
        // A gap below the highest id is not reused.
        QVERIFY(m_db->exec({"INSERT INTO regatta VALUES (7, 40, 1, 'Alt', 100, 200, 1)"}));
        Race named = liveRace;
        named.name = QStringLiteral("  Kieler Woche Live  ");
        const Inserted r = RaceStore::insert(named);
        QCOMPARE(r.status, Inserted::Inserted);
        QCOMPARE(r.stored.id, 8);
        QCOMPARE(r.stored, stored(liveRace, 8));
        QCOMPARE(m_db->scalar("SELECT name||von||'-'||bis||showcompletetracks FROM regatta "
                              "WHERE id=8")
                     .toString(),
                 QStringLiteral("Kieler Woche Live1699989200-17000864000"));
        QVERIFY(RaceStore::exists(30, 300));
        QVERIFY(!RaceStore::exists(30, 301));

        bool ok = false;
        const QVector<Race> list = RaceStore::races(&ok);
        QVERIFY(ok);
        QCOMPARE(list.size(), 4);
        QCOMPARE(list.at(0).eventId, 30);
        QCOMPARE(list.at(1).eventId, 21);
        QVERIFY(!RaceStore::isSeeded(list.at(0)));
        QVERIFY(RaceStore::isSeeded(list.at(1)) && RaceStore::isSeeded(list.at(2)));
        QCOMPARE(RaceStore::knownPairs(),
                 (QList<RacePair>{{30, 300}, {21, 120}, {10, 88}, {40, 1}}));
    }

    void insertRefusesKnownPairAndMalformedRecord_data()
    {
        QTest::addColumn<Race>("race");
        QTest::addColumn<int>("status");
        Race r = liveRace;
        r.eventId = 10;
        r.taskId = 88;
        QTest::newRow("seeded pair") << r << int(Inserted::Duplicate);
        r = liveRace;
        r.end = r.start;
        QTest::newRow("end at start") << r << int(Inserted::Invalid);
        r = liveRace;
        r.name = QStringLiteral("   ");
        QTest::newRow("blank name") << r << int(Inserted::Invalid);
        r = liveRace;
        r.taskId = 0;
        QTest::newRow("task 0") << r << int(Inserted::Invalid);
        r = liveRace;
        r.eventId = -4;
        QTest::newRow("negative event") << r << int(Inserted::Invalid);
    }
    void insertRefusesKnownPairAndMalformedRecord()
    {
        QFETCH(Race, race);
        QFETCH(int, status);
        QCOMPARE(int(RaceStore::insert(race).status), status);
        QCOMPARE(m_db->count("regatta"), 2);
    }

    void importAddsOnlyUnknownWellFormedRaces()
    {
        const Race seeded{0, 10, 88, QStringLiteral("Anderer Name"), 1, 2};
        const Race broken{0, 32, 1, QStringLiteral("Kaputt"), 1800003600, 1800000000};
        const QVector<Race> list{seeded, liveRace, broken, liveRace, second};

        const RaceStore::ImportResult r = RaceStore::importRaces(list);
        QVERIFY(r.ok);
        QCOMPARE(r.added.size(), 2);
        QCOMPARE(r.added.at(0), stored(liveRace, 3));
        QCOMPARE(r.added.at(0).id, 3);
        QCOMPARE(r.added.at(1), stored(second, 4));
        QCOMPARE(r.added.at(1).id, 4);
        QCOMPARE(r.known, 2);
        QCOMPARE(r.invalid, 1);
        // The seeded race keeps its name.
        QCOMPARE(m_db->scalar("SELECT name FROM regatta WHERE id=1").toString(),
                 QStringLiteral("Dorur Izadidiva Dazidevire 2010"));

        const RaceStore::ImportResult again = RaceStore::importRaces(list);
        QVERIFY(again.ok);
        QVERIFY(again.added.isEmpty());
        QCOMPARE(again.known, 4);
        QCOMPARE(m_db->count("regatta"), 4);
    }

    void removeLeavesNoBoatsOrFixes()
    {
        const int id = RaceStore::insert(liveRace).stored.id;
        QVERIFY(addBoats(30, 3, 5));
        QVERIFY(addBoats(10, 2, 4));
        const Removed r = RaceStore::remove(id);
        QCOMPARE(r.status, Removed::Removed);
        QCOMPARE(r.boats, 3);
        QCOMPARE(r.fixes, 15);
        QCOMPARE(counts(30), (QList<int>{0, 0, 0}));
        QCOMPARE(counts(10), (QList<int>{1, 2, 8}));
        QCOMPARE(RaceStore::remove(id).status, Removed::NotFound);
    }

    void removeRefusesSeededRaces_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("eventId");
        QTest::newRow("2010") << 1 << 10;
        QTest::newRow("2011") << 2 << 21;
    }
    void removeRefusesSeededRaces()
    {
        QFETCH(int, id);
        QFETCH(int, eventId);
        QVERIFY(addBoats(eventId, 2, 3));
        QCOMPARE(RaceStore::remove(id).status, Removed::Seeded);
        QCOMPARE(counts(eventId), (QList<int>{1, 2, 6}));
    }

    void removeKeepsBoatsOfAnotherTaskOfTheEvent()
    {
        // Boats and fixes carry only the event number: another task of event 10
        // shares them with the seeded race, so removing it must not take them.
        const int id =
            RaceStore::insert({0, 10, 89, QStringLiteral("Zweite Wettfahrt"), 1270800000, 1270900000})
                .stored.id;
        QVERIFY(addBoats(10, 2, 3));
        const Removed r = RaceStore::remove(id);
        QCOMPARE(r.status, Removed::Removed);
        QCOMPARE(r.boats, 0);
        QCOMPARE(counts(10), (QList<int>{1, 2, 6}));
    }

    void removeFailureRollsEverythingBack()
    {
        const int id = RaceStore::insert(liveRace).stored.id;
        QVERIFY(addBoats(30, 2, 3));
        // The last statement of the removal fails.
        QVERIFY(m_db->exec({"CREATE TRIGGER keep BEFORE DELETE ON regatta BEGIN "
                            "SELECT RAISE(ABORT, 'gesperrt'); END"}));
        const Removed r = RaceStore::remove(id);
        QCOMPARE(r.status, Removed::Failed);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(counts(30), (QList<int>{1, 2, 6}));

        QVERIFY(m_db->exec({"DROP TRIGGER keep"}));
        QCOMPARE(RaceStore::remove(id).status, Removed::Removed);
        QCOMPARE(counts(30), (QList<int>{0, 0, 0}));
    }

    void preferencesRoundTrip_data()
    {
        QTest::addColumn<int>("pref");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("interval"); // stored loadinterval
        QTest::addColumn<int>("minutes");  // as loaded
        QTest::newRow("loadmaps off") << int(Pref::LoadMaps) << false << 7 << 7;
        QTest::newRow("autoload on, interval 0") << int(Pref::Autoload) << true << 0 << 5;
        QTest::newRow("autoload off, interval -3") << int(Pref::Autoload) << false << -3 << 5;
        QTest::newRow("lookforupdate off") << int(Pref::LookForUpdate) << false << 10 << 10;
        QTest::newRow("no row") << -1 << false << 0 << 5;
    }
    void preferencesRoundTrip()
    {
        QFETCH(int, pref);
        QFETCH(bool, on);
        QFETCH(int, interval);
        QFETCH(int, minutes);
        QVERIFY(m_db->exec({QStringLiteral("UPDATE prefs SET loadinterval=%1").arg(interval)}));
        if (pref < 0) {
            QVERIFY(m_db->exec({"DELETE FROM prefs"}));
            const Preferences p = Preferences::load();
            QVERIFY(!p.has(Pref::LoadMaps) && !p.has(Pref::Autoload) &&
                    !p.has(Pref::LookForUpdate));
            QVERIFY(!p.loadMaps && !p.autoload && p.lookForUpdate);
            QCOMPARE(p.pollInterval, minutes);
            return;
        }
        QVERIFY(Preferences::set(Pref(pref), on));
        QCOMPARE(Preferences::read(Pref(pref)), std::optional<bool>(on));
        const Preferences p = Preferences::load();
        QVERIFY(p.has(Pref::LoadMaps) && p.has(Pref::Autoload) && p.has(Pref::LookForUpdate));
        const bool loaded[] = {p.loadMaps, p.autoload, p.lookForUpdate};
        QCOMPARE(loaded[pref], on);
        QCOMPARE(p.pollInterval, minutes);
    }

    void raceAndBoatSwitchesReachTheTables()
    {
        QVERIFY(addBoats(21, 2, 0)); // boats 100 and 101
        QVERIFY(RaceStore::setShowCompleteTracks(2, true));
        QVERIFY(RaceStore::race(2).showCompleteTracks && !RaceStore::race(1).showCompleteTracks);
        QVERIFY(BoatStore::storeShowFollow(100, false, true));
        QVERIFY(BoatStore::storeOnlyFollowed(21, 101, true));
        const QString flags = QStringLiteral("SELECT group_concat(id||show||follow) FROM ship");
        QCOMPARE(m_db->scalar(flags).toString(), QStringLiteral("100falsefalse,101truetrue"));
        QVERIFY(BoatStore::clearFollow(21) && BoatStore::storeFollow(100, true));
        bool ok = false;
        const QVector<BoatRow> boats = BoatStore::boats(21, &ok);
        QVERIFY(ok);
        QCOMPARE(boats.size(), 2);
        QVERIFY(boats.at(0).follow && !boats.at(0).show && !boats.at(1).follow && boats.at(1).show);
    }

    void validate_data()
    {
        QTest::addColumn<RaceInput>("input");
        QTest::addColumn<QStringList>("messages");
        const qint64 start = 1700000000, end = 1700086400;
        const RaceInput good{QStringLiteral("Kieler Woche"), QStringLiteral("30"),
                             QStringLiteral("300"), start, end};
        QTest::newRow("good") << good << QStringList();
        RaceInput in = good;
        in.eventText = QStringLiteral(" 31 ");
        QTest::newRow("numbers with spaces") << in << QStringList();
        in = good;
        in.name = QStringLiteral("  ");
        QTest::newRow("blank name") << in << QStringList{RaceStore::emptyNameMessage()};
        for (const char *bad : {"", "0", "-3", "+3", "1.5", "12a", "1e3", "99999999999"}) {
            in = good;
            in.eventText = QString::fromLatin1(bad);
            QTest::addRow("event '%s'", bad) << in << QStringList{RaceStore::badEventMessage()};
            in = good;
            in.taskText = QString::fromLatin1(bad);
            QTest::addRow("task '%s'", bad) << in << QStringList{RaceStore::badTaskMessage()};
        }
        in = good;
        in.end = in.start;
        QTest::newRow("end at start") << in << QStringList{RaceStore::endBeforeStartMessage()};
        in.end = in.start - 60;
        QTest::newRow("end before start") << in << QStringList{RaceStore::endBeforeStartMessage()};
        in = good;
        in.end = maxRaceTime + 1;
        QTest::newRow("after 2038") << in << QStringList{RaceStore::timeRangeMessage()};
        in = good;
        in.eventText = QStringLiteral("10");
        in.taskText = QStringLiteral("88");
        QTest::newRow("seeded pair") << in << QStringList{RaceStore::duplicateMessage(10, 88)};
        in = good;
        in.eventText = QStringLiteral("10");
        QTest::newRow("other task of a known event") << in << QStringList();
        const RaceInput allBad{QString(), QStringLiteral("x"), QStringLiteral("-1"), end, start};
        QTest::newRow("everything wrong")
            << allBad
            << QStringList{RaceStore::emptyNameMessage(), RaceStore::badEventMessage(),
                           RaceStore::badTaskMessage(), RaceStore::endBeforeStartMessage()};
    }
    void validate()
    {
        QFETCH(RaceInput, input);
        QFETCH(QStringList, messages);
        const RaceStore::Validation v = RaceStore::validate(input, {{10, 88}, {21, 120}});
        QCOMPARE(v.messages, messages);
        QCOMPARE(v.ok(), messages.isEmpty());
        if (v.ok()) {
            QCOMPARE(v.race.name, input.name.trimmed());
            QCOMPARE(v.race.eventId, input.eventText.trimmed().toInt());
            QCOMPARE(v.race.taskId, input.taskText.toInt());
            QCOMPARE(v.race.start, input.start);
        }
        // Nothing is stored by checking.
        QCOMPARE(m_db->count("regatta"), 2);
    }
};

QTEST_GUILESS_MAIN(TestRaceStore)
#include "tst_racestore.moc"
