// The race store on a version-7 database: adding, importing, removing in one
// transaction, validation and the dialog; preferences, race and boat switches.
#include "store/boatstore.h"
#include "store/preferences.h"
#include "store/racestore.h"
#include "ui/regattadialog.h"

#include "messagerecorder.h"
#include "testdatabase.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(RaceStore::RaceInput)

using RaceStore::RaceInput;
using RaceStore::RacePair;
using Inserted = RaceStore::InsertResult;
using Removed = RaceStore::RemoveResult;

namespace
{

const Race liveRace{
    0, 30, 300, QStringLiteral("Kieler Woche Live"), 1700000000 - 10800, 1700000000 + 86400};
const Race second{0, 31, 1, QStringLiteral("Zweite"), 1800000000, 1800003600};

} // namespace

class TestRaceStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    static Race stored(Race race, int id) { return race.id = id, race; }

    // Boats and fixes stored under an event number, as the ingest leaves them.
    bool addBoats(int eventId, int boats, int fixesPerBoat)
    {
        QStringList sql;
        const int first = eventId == 10 ? 200 : 100;
        for (int id = first; id < first + boats; ++id) {
            sql << shipRow(id, eventId, "A", QString::number(id));
            for (int f = 0; f < fixesPerBoat; ++f)
                sql << fixRow(id, eventId, 1700000000 + f * 30, 54.3, 10.1);
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

    static void fill(RegattaDialog &dialog, const QString &name, const QString &event,
                     const QString &task, const QDateTime &start, const QDateTime &end)
    {
        dialog.nameEdit()->setText(name);
        dialog.eventEdit()->setText(event);
        dialog.taskEdit()->setText(task);
        dialog.startEdit()->setDateTime(start);
        dialog.endEdit()->setDateTime(end);
    }

private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->exec(trackingSchema()));
    }
    void cleanup() { m_db.reset(); }

    void insertListsNewestStartFirstAndRefusesKnownOrMalformed()
    {
        // A gap below the highest id is not reused.
        QVERIFY(m_db->exec({"INSERT INTO regatta VALUES (7, 40, 1, 'Alt', 100, 200, 1)"}));
        const Inserted r = RaceStore::insert(
            {0, 30, 300, QStringLiteral("  Kieler Woche Live  "), liveRace.start, liveRace.end});
        QCOMPARE(r.status, Inserted::Inserted);
        QCOMPARE(r.stored, stored(liveRace, 8));
        QCOMPARE(m_db->scalar("SELECT name||von||'-'||bis||showcompletetracks FROM regatta "
                              "WHERE id=8")
                     .toString(),
                 QStringLiteral("Kieler Woche Live1699989200-17000864000"));
        QVERIFY(RaceStore::exists(30, 300) && !RaceStore::exists(30, 301));
        const QVector<Race> list = RaceStore::races();
        QVERIFY(!RaceStore::isSeeded(list.at(0)) && RaceStore::isSeeded(list.at(1)));
        QCOMPARE(RaceStore::knownPairs(),
                 (QList<RacePair>{{30, 300}, {21, 120}, {10, 88}, {40, 1}}));
        // A known pair or a malformed record is refused.
        const auto status = [](int eventId, int taskId, qint64 end) {
            return RaceStore::insert({0, eventId, taskId, liveRace.name, liveRace.start, end})
                .status;
        };
        QCOMPARE(status(10, 88, liveRace.end), Inserted::Duplicate);  // the seeded pair
        QCOMPARE(status(30, 300, liveRace.start), Inserted::Invalid); // end at start
        QCOMPARE(status(30, 0, liveRace.end), Inserted::Invalid);
        QCOMPARE(m_db->count("regatta"), 4);
    }

    void importAddsOnlyUnknownWellFormedRaces()
    {
        const Race seeded{0, 10, 88, QStringLiteral("Anderer Name"), 1, 2};
        const Race broken{0, 32, 1, QStringLiteral("Kaputt"), 1800003600, 1800000000};
        const QVector<Race> list{seeded, liveRace, broken, liveRace, second};
        const RaceStore::ImportResult r = RaceStore::importRaces(list);
        QVERIFY(r.ok);
        QCOMPARE(r.added, (QVector<Race>{stored(liveRace, 3), stored(second, 4)}));
        QVERIFY(r.known == 2 && r.invalid == 1);
        // The seeded race keeps its name.
        QCOMPARE(m_db->scalar("SELECT name FROM regatta WHERE id=1").toString(),
                 QStringLiteral("Dorur Izadidiva Dazidevire 2010"));
        const RaceStore::ImportResult again = RaceStore::importRaces(list);
        QVERIFY(again.ok && again.added.isEmpty());
        QCOMPARE(again.known, 4);
        QCOMPARE(m_db->count("regatta"), 4);
    }

    void removeLeavesNoBoatsOrFixes()
    {
        const int id = RaceStore::insert(liveRace).stored.id;
        // Boats and fixes carry only the event number: another task of event 10
        // shares them with the seeded race, so removing it must not take them.
        const int other = RaceStore::insert({0, 10, 89, QStringLiteral("Zweite Wettfahrt"),
                                             1270800000, 1270900000})
                              .stored.id;
        QVERIFY(addBoats(30, 3, 5) && addBoats(10, 2, 4));
        QCOMPARE(RaceStore::remove(1).status, Removed::Seeded);
        QCOMPARE(RaceStore::remove(2).status, Removed::Seeded);
        const auto remove = [](int id) {
            const Removed r = RaceStore::remove(id);
            return std::tuple(int(r.status), r.boats, r.fixes);
        };
        QCOMPARE(remove(other), std::tuple(int(Removed::Removed), 0, 0));
        QCOMPARE(counts(10), (QList<int>{1, 2, 8}));
        QCOMPARE(remove(id), std::tuple(int(Removed::Removed), 3, 15));
        QCOMPARE(counts(30), (QList<int>{0, 0, 0}));
        QCOMPARE(counts(10), (QList<int>{1, 2, 8}));
        QCOMPARE(m_db->count("regatta"), 2); // the seeded races
        QCOMPARE(RaceStore::remove(id).status, Removed::NotFound);
    }

    void removeFailureRollsEverythingBack()
    {
        const int id = RaceStore::insert(liveRace).stored.id;
        QVERIFY(addBoats(30, 2, 3));
        // The last statement of the removal fails.
        QVERIFY(m_db->exec({"CREATE TRIGGER keep BEFORE DELETE ON regatta BEGIN "
                            "SELECT RAISE(ABORT, 'gesperrt'); END"}));
        QCOMPARE(RaceStore::remove(id).status, Removed::Failed);
        QCOMPARE(counts(30), (QList<int>{1, 2, 6}));
        QVERIFY(m_db->exec({"DROP TRIGGER keep"}));
        QCOMPARE(RaceStore::remove(id).status, Removed::Removed);
        QCOMPARE(counts(30), (QList<int>{0, 0, 0}));
    }

    void preferencesRoundTrip_data()
    {
        QTest::addColumn<int>("pref");
        QTest::addColumn<int>("interval"); // stored loadinterval
        QTest::addColumn<int>("minutes");  // as loaded
        QTest::newRow("loadmaps off") << int(Pref::LoadMaps) << 7 << 7;
        QTest::newRow("autoload off, interval 0") << int(Pref::Autoload) << 0 << 5;
        QTest::newRow("lookforupdate off, interval -3") << int(Pref::LookForUpdate) << -3 << 5;
        QTest::newRow("no row") << -1 << 10 << 5;
    }
    void preferencesRoundTrip()
    {
        QFETCH(int, pref);
        QFETCH(int, interval);
        QVERIFY(m_db->exec({QStringLiteral("UPDATE prefs SET loadinterval=%1").arg(interval)}));
        QVERIFY(pref < 0 ? m_db->exec({"DELETE FROM prefs"}) : Preferences::set(Pref(pref), false));
        const Preferences p = Preferences::load();
        QTEST(p.pollInterval, "minutes");
        // Without a row: none stored, and the defaults.
        QVERIFY(pref >= 0 ||
                (!p.has(Pref::LoadMaps) && !p.has(Pref::Autoload) && !p.has(Pref::LookForUpdate) &&
                 !p.loadMaps && !p.autoload && p.lookForUpdate));
        if (pref < 0)
            return;
        QCOMPARE(Preferences::read(Pref(pref)), std::optional<bool>(false));
        const bool loaded[] = {p.loadMaps, p.autoload, p.lookForUpdate};
        QCOMPARE(loaded[0] + loaded[1] + loaded[2], 2);
        QVERIFY(!loaded[pref]);
    }

    void validate_data()
    {
        QTest::addColumn<RaceInput>("input");
        QTest::addColumn<QStringList>("messages");
        const qint64 start = 1700000000, end = 1700086400;
        const auto row = [&](const char *tag, const std::function<void(RaceInput &)> &change,
                             const QStringList &messages) {
            RaceInput in{"Kieler Woche", "30", "300", start, end};
            change(in);
            QTest::newRow(tag) << in << messages;
        };
        row("good", [](RaceInput &) {}, {});
        row("numbers with spaces", [](RaceInput &in) { in.eventText = " 31 "; }, {});
        row("blank name", [](RaceInput &in) { in.name = "  "; }, {RaceStore::emptyNameMessage()});
        for (const char *bad : {"", "0", "+3", "1.5", "1e3"}) {
            const QString text = QString::fromLatin1(bad);
            row(qPrintable(QStringLiteral("event '%1'").arg(text)),
                [&](RaceInput &in) { in.eventText = text; }, {RaceStore::badEventMessage()});
            row(qPrintable(QStringLiteral("task '%1'").arg(text)),
                [&](RaceInput &in) { in.taskText = text; }, {RaceStore::badTaskMessage()});
        }
        row("huge event", [](RaceInput &in) { in.eventText = "99999999999999999999"; },
            {RaceStore::eventTooLargeMessage()});
        row("task past int", [](RaceInput &in) { in.taskText = " 2147483648"; },
            {RaceStore::taskTooLargeMessage()});
        row("end at start", [](RaceInput &in) { in.end = in.start; },
            {RaceStore::endBeforeStartMessage()});
        row("after 2038", [](RaceInput &in) { in.end = maxRaceTime + 1; },
            {RaceStore::timeRangeMessage()});
        row("seeded pair", [](RaceInput &in) { in.eventText = "10", in.taskText = "88"; },
            {RaceStore::duplicateMessage(10, 88)});
        row("other task of a known event", [](RaceInput &in) { in.eventText = "10"; }, {});
        row("everything wrong",
            [&](RaceInput &in) {
                in = {QString(), "x", "-1", end, start};
            },
            {RaceStore::emptyNameMessage(), RaceStore::badEventMessage(),
             RaceStore::badTaskMessage(), RaceStore::endBeforeStartMessage()});
    }
    void validate()
    {
        QFETCH(RaceInput, input);
        QFETCH(QStringList, messages);
        const RaceStore::Validation v = RaceStore::validate(input, {{10, 88}, {21, 120}});
        QCOMPARE(v.messages, messages);
        QCOMPARE(v.ok(), messages.isEmpty());
        if (v.ok())
            QCOMPARE(std::tuple(v.race.name, v.race.eventId, v.race.taskId, v.race.start),
                     std::tuple(input.name.trimmed(), input.eventText.trimmed().toInt(),
                                input.taskText.toInt(), input.start));
        // Nothing is stored by checking.
        QCOMPARE(m_db->count("regatta"), 2);
    }

    // "Regatta hinzufügen": bad input is named below the fields and stores
    // nothing; good input is stored with its local times.
    void dialogStoresOnlyGoodInputInLocalTime()
    {
        MessageRecorder boxes;
        const QDateTime start(QDate(2026, 6, 20), QTime(10, 30), Qt::LocalTime);
        const QDateTime end(QDate(2026, 6, 21), QTime(18, 0), Qt::LocalTime);
        RegattaDialog dialog;
        fill(dialog, QString(), QStringLiteral("21"), QStringLiteral("3,5"), end, start);
        QVERIFY(!dialog.submit());
        QCOMPARE(dialog.messageLabel()->text(),
                 QStringList({RaceStore::emptyNameMessage(), RaceStore::badTaskMessage(),
                              RaceStore::endBeforeStartMessage()})
                     .join(QLatin1Char('\n')));
        fill(dialog, QStringLiteral("Noch einmal"), QStringLiteral("21"), QStringLiteral("120"),
             start, end);
        QVERIFY(!dialog.submit());
        QCOMPARE(dialog.messageLabel()->text(), RaceStore::duplicateMessage(21, 120));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(m_db->count("regatta"), 2);
        fill(dialog, QStringLiteral(" Kieler Woche "), QStringLiteral("30"), QStringLiteral(" 300"),
             start, end);
        QVERIFY(dialog.submit());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const Race added{3,
                         30,
                         300,
                         QStringLiteral("Kieler Woche"),
                         start.toSecsSinceEpoch(),
                         end.toSecsSinceEpoch()};
        QVERIFY(dialog.addedRace() == added && RaceStore::races().first() == added);
        QCOMPARE(boxes.count(), 0); // nothing here may ever block on a box
    }
};

QTEST_MAIN(TestRaceStore)
#include "tst_racestore.moc"
