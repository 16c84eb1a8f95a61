// The real program against the demo service, as a user meets it: first start,
// choosing the 2011 race, the whole history arriving once, slider, following a
// boat, closing and a second start that restores everything and downloads
// nothing twice; then the service's faults.
#include "childprogram.h"
#include "demoserver.h"
#include "e2esession.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QSettings>
#include <QUrlQuery>
#include <QtTest>

namespace
{

const QString raceName = QStringLiteral("Vudav Avazavava Zerevudeva 2011");
constexpr int eventId = 21;
constexpr int taskId = 120;
const QString raceMenu = QStringLiteral("&Regatten");

// Per boat: fixes, first and last time stamp.
using TrackSummary = QMap<int, QList<qint64>>;

TrackSummary expectedTracks(const DemoServer &server, int event)
{
    TrackSummary summary;
    for (const DemoServer::Boat &boat : server.boats(event)) {
        const QList<DemoServer::Fix> fixes = server.fixes(event, boat.id);
        summary.insert(boat.id, {qint64(fixes.size()), fixes.first().tstamp, fixes.last().tstamp});
    }
    return summary;
}

TrackSummary storedTracks(E2eSession &session, int event)
{
    TrackSummary summary;
    const QJsonArray rows =
        session
            .value(QStringLiteral("sql\tSELECT ship_id, count(*), min(tstamp), max(tstamp) "
                                  "FROM track WHERE regatta_id=%1 GROUP BY ship_id")
                       .arg(event))
            .toArray();
    for (const QJsonValue &row : rows) {
        const QJsonArray r = row.toArray();
        summary.insert(r.at(0).toInt(),
                       {r.at(1).toInteger(), r.at(2).toInteger(), r.at(3).toInteger()});
    }
    return summary;
}

qint64 fixTotal(const TrackSummary &summary)
{
    qint64 total = 0;
    for (const QList<qint64> &boat : summary)
        total += boat.first();
    return total;
}

// Rows of table track that repeat a boat and moment already stored.
qint64 doubledFixes(E2eSession &session)
{
    return session
        .scalar(QStringLiteral("SELECT count(*) - (SELECT count(*) FROM (SELECT DISTINCT "
                               "regatta_id, ship_id, tstamp FROM track)) FROM track"))
        .toInteger();
}

struct Served {
    QString endpoint;
    int event = 0;
    int boat = 0;
};

QList<Served> served(const DemoServer &server)
{
    QList<Served> list;
    for (const DemoServer::Request &r : server.requestLog()) {
        const QUrlQuery query(r.query);
        list.append({r.endpoint, query.queryItemValue(QStringLiteral("rg")).toInt(),
                     query.queryItemValue(QStringLiteral("bo")).toInt()});
    }
    return list;
}

int countServed(const DemoServer &server, const QString &endpoint, int event)
{
    int n = 0;
    for (const Served &s : served(server))
        n += s.endpoint == endpoint && s.event == event;
    return n;
}

// No tracking transfer of the program is open.
bool idle(E2eSession &session)
{
    const QJsonValue open =
        session.value(QStringLiteral("state")).toObject().value(QStringLiteral("openTransfers"));
    return open.isDouble() && open.toInt() == 0;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void firstStartFetchesTheWholeRace();
    void secondStartRestoresAndDownloadsNothingStored();
    void faultsLoseNothingAndTheProgramCatchesUp();

private:
    std::unique_ptr<DemoServer> m_server; // the full built-in fleets
    std::unique_ptr<ChildProgram> m_home; // kept from the first start to the second
    QList<int> m_firstGeometry;
};

void TestEndToEnd::initTestCase()
{
    if (ChildProgram::buildProgram(QStringLiteral("velmaro-e2e")).isEmpty())
        QSKIP("VELMARO_BINARY_DIR names the build tree; run through CTest");
    DemoServer::Options options;
    options.quiet = true;
    m_server = std::make_unique<DemoServer>(options);
    QVERIFY(m_server->listen(0) != 0);
    m_home = std::make_unique<ChildProgram>();
    QVERIFY(m_home->isValid());
}

void TestEndToEnd::firstStartFetchesTheWholeRace()
{
    E2eSession session(m_home.get());
    QString error;
    QVERIFY2(session.start(m_server->baseUrl(), &error), qPrintable(error));

    // A new database, announced before the window.
    const QStringList boxes = m_home->boxLines();
    QVERIFY(!boxes.isEmpty());
    QVERIFY2(boxes.first().startsWith(QStringLiteral("Information\tInitialisierung...\t")),
             qPrintable(boxes.first()));
    QVERIFY(QFileInfo::exists(m_home->databasePath()));

    const QJsonArray races = session.value(QStringLiteral("actions\t") + raceMenu).toArray();
    QVERIFY(races.contains(raceName));
    // Let the start race settle first, so its replies do not mix in.
    QTRY_VERIFY_WITH_TIMEOUT(idle(session), 60000);
    m_server->clearRequestLog();

    const E2eSession::Reply chosen =
        session.ask(QStringLiteral("trigger\t%1\t%2").arg(raceMenu, raceName));
    QVERIFY2(chosen.ok, qPrintable(chosen.error));
    const QJsonObject state = session.value(QStringLiteral("state")).toObject();
    QCOMPARE(state.value(QStringLiteral("race")).toString(), raceName);
    QVERIFY(state.value(QStringLiteral("title")).toString().endsWith(raceName));

    // Every boat and every fix of the service, once.
    const TrackSummary expected = expectedTracks(*m_server, eventId);
    QTRY_VERIFY_WITH_TIMEOUT(
        fixTotal(storedTracks(session, eventId)) >= fixTotal(expected) && idle(session), 90000);
    QCOMPARE(storedTracks(session, eventId), expected);
    QCOMPARE(doubledFixes(session), 0);
    qInfo("%lld boats, %lld fixes stored once each", qint64(expected.size()), fixTotal(expected));

    const QList<DemoServer::Boat> boats = m_server->boats(eventId);
    // A finished race: the boat list, then the history of every boat.
    const QList<Served> log = served(*m_server);
    int listAt = -1;
    QSet<int> historyOf;
    for (int i = 0; i < log.size(); ++i) {
        if (log.at(i).event != eventId)
            continue;
        if (log.at(i).endpoint == QLatin1String("getBoats") && listAt < 0)
            listAt = i;
        if (log.at(i).endpoint == QLatin1String("getPosition")) {
            QVERIFY2(listAt >= 0 && listAt < i, "positions asked for before the boat list");
            historyOf.insert(log.at(i).boat);
        }
    }
    QCOMPARE(countServed(*m_server, QStringLiteral("getBoats"), eventId), 1);
    QCOMPARE(historyOf.size(), boats.size());
    QCOMPARE(countServed(*m_server, QStringLiteral("getPosition"), eventId), boats.size());

    // The slider spans the race: a minute after the first fix to the last.
    qint64 earliest = std::numeric_limits<qint64>::max();
    qint64 latest = 0;
    for (const QList<qint64> &boat : expected) {
        earliest = std::min(earliest, boat.at(1));
        latest = std::max(latest, boat.at(2));
    }
    const QJsonObject slider = session.value(QStringLiteral("slider")).toObject();
    QCOMPARE(slider.value(QStringLiteral("min")).toInteger(), earliest + 60);
    QCOMPARE(slider.value(QStringLiteral("max")).toInteger(), latest);
    QCOMPARE(slider.value(QStringLiteral("value")).toInteger(), latest);

    // Open the side panel and follow a boat from the legend: the map centres on it,
    // and keeps doing so when the moment changes.
    QVERIFY(session.ask(QStringLiteral("key\tSpace")).ok);
    QVERIFY(session.value(QStringLiteral("state"))
                .toObject()
                .value(QStringLiteral("panelOpen"))
                .toBool());
    const int followed = boats.at(boats.size() / 2).id;
    const E2eSession::Reply click = session.ask(QStringLiteral("clicklegend\t%1").arg(followed));
    QVERIFY2(click.ok, qPrintable(click.error));
    for (const qint64 moment : {latest, (earliest + latest) / 2}) {
        QVERIFY(session.ask(QStringLiteral("setslider\t%1").arg(moment)).ok);
        const QJsonObject s = session.value(QStringLiteral("state")).toObject();
        QCOMPARE(s.value(QStringLiteral("followed")).toInt(), followed);
        const QJsonObject centre = s.value(QStringLiteral("centre")).toObject();
        const QJsonObject at = s.value(QStringLiteral("followedAt")).toObject();
        QCOMPARE(centre.value(QStringLiteral("lat")).toDouble(),
                 at.value(QStringLiteral("lat")).toDouble());
        QCOMPARE(centre.value(QStringLiteral("lng")).toDouble(),
                 at.value(QStringLiteral("lng")).toDouble());
        QVERIFY(qAbs(s.value(QStringLiteral("followedX")).toInt() -
                     s.value(QStringLiteral("mapWidth")).toInt() / 2) <= 2);
        QVERIFY(qAbs(s.value(QStringLiteral("followedY")).toInt() -
                     s.value(QStringLiteral("mapHeight")).toInt() / 2) <= 2);
    }
    QCOMPARE(
        session.scalar(QStringLiteral("SELECT count(*) FROM ship WHERE follow='true'")).toInt(), 1);

    // Closing stores the window state.
    QVERIFY(session.ask(QStringLiteral("resize\t900\t700")).ok);
    for (const QJsonValue &v : session.value(QStringLiteral("state"))
                                   .toObject()
                                   .value(QStringLiteral("geometry"))
                                   .toArray())
        m_firstGeometry << v.toInt();
    QVERIFY(session.ask(QStringLiteral("close")).ok);
    QVERIFY(session.waitForExit());
    QCOMPARE(m_home->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_home->process().exitCode(), 0);
    QSettings settings(m_home->settingsPath(), QSettings::IniFormat);
    QVERIFY(!settings.value(QStringLiteral("geomMainwindow")).toByteArray().isEmpty());
    QCOMPARE(settings.value(QStringLiteral("splitterOpen")).toBool(), true);
    QCOMPARE(settings.value(QStringLiteral("eventId")).toInt(), eventId);
    QCOMPARE(settings.value(QStringLiteral("taskId")).toInt(), taskId);
}

void TestEndToEnd::secondStartRestoresAndDownloadsNothingStored()
{
    if (m_firstGeometry.isEmpty())
        QSKIP("needs the first start");
    const TrackSummary expected = expectedTracks(*m_server, eventId);
    m_server->clearRequestLog();
    const int boxesBefore = int(m_home->boxLines().size());

    E2eSession session(m_home.get());
    QString error;
    QVERIFY2(session.start(m_server->baseUrl(), &error), qPrintable(error));
    const QJsonObject state = session.value(QStringLiteral("state")).toObject();
    QCOMPARE(state.value(QStringLiteral("race")).toString(), raceName);
    QCOMPARE(state.value(QStringLiteral("panelOpen")).toBool(), true);
    QList<int> geometry;
    for (const QJsonValue &v : state.value(QStringLiteral("geometry")).toArray())
        geometry << v.toInt();
    QCOMPARE(geometry, m_firstGeometry);
    QCOMPARE(state.value(QStringLiteral("ships")).toInt(), int(expected.size()));
    QCOMPARE(state.value(QStringLiteral("followed")).toInt(),
             m_server->boats(eventId).at(m_server->boats(eventId).size() / 2).id);
    // Once the start-up traffic is over, nothing of the stored race was asked for.
    QTRY_VERIFY_WITH_TIMEOUT(idle(session), 30000);
    QCOMPARE(countServed(*m_server, QStringLiteral("getPosition"), eventId), 0);
    QCOMPARE(countServed(*m_server, QStringLiteral("getBoats"), eventId), 0);
    QCOMPARE(storedTracks(session, eventId), expected);
    QCOMPARE(doubledFixes(session), 0);
    // No second creation notice: the database was found as it was left.
    QCOMPARE(int(m_home->boxLines().size()), boxesBefore);

    QVERIFY(session.ask(QStringLiteral("close")).ok);
    QVERIFY(session.waitForExit());
    QCOMPARE(m_home->process().exitCode(), 0);
}

void TestEndToEnd::faultsLoseNothingAndTheProgramCatchesUp()
{
    // A small fleet with sparse fixes keeps this part quick.
    DemoServer::Options options;
    options.quiet = true;
    options.boatsPerRace = 5;
    options.fixIntervalMin = 240;
    options.fixIntervalMax = 300;
    DemoServer server(options);
    QVERIFY(server.listen(0) != 0);
    // The start race arrives with garbage lines mixed in.
    server.setFault(QStringLiteral("getPosition"), DemoServer::Fault::Malformed);
    server.setFault(QStringLiteral("getBoats"), DemoServer::Fault::Malformed);

    ChildProgram home;
    E2eSession session(&home);
    QString error;
    QVERIFY2(session.start(server.baseUrl(), &error), qPrintable(error));
    const int startEvent =
        session.value(QStringLiteral("state")).toObject().value(QStringLiteral("eventId")).toInt();
    const TrackSummary startExpected = expectedTracks(server, startEvent);
    QTRY_VERIFY_WITH_TIMEOUT(idle(session), 60000);
    QCOMPARE(storedTracks(session, startEvent), startExpected);
    QCOMPARE(
        session
            .scalar(QStringLiteral("SELECT count(*) FROM ship WHERE regatta_id=%1").arg(startEvent))
            .toInt(),
        int(server.boats(startEvent).size()));

    // Short timeouts, so that hanging requests are given up quickly.
    QVERIFY(session.ask(QStringLiteral("timeouts\t1500")).ok);
    const auto choose = [&]() {
        const E2eSession::Reply r =
            session.ask(QStringLiteral("trigger\t%1\t%2").arg(raceMenu, raceName));
        return r.ok;
    };
    const auto stored = [&]() {
        return session
            .scalar(QStringLiteral("SELECT count(*) FROM track WHERE regatta_id=%1").arg(eventId))
            .toInt();
    };
    const auto boatsStored = [&]() {
        return session
            .scalar(QStringLiteral("SELECT count(*) FROM ship WHERE regatta_id=%1").arg(eventId))
            .toInt();
    };

    struct Phase {
        const char *name;
        DemoServer::Fault boats;
        int boatsValue;
        DemoServer::Fault positions;
        int positionsValue;
        bool listStored; // the boat list is in table ship afterwards
    };
    const Phase phases[] = {
        {"boat list hangs", DemoServer::Fault::Hang, 0, DemoServer::Fault::None, 0, false},
        {"boat list fails", DemoServer::Fault::HttpError, 503, DemoServer::Fault::None, 0, false},
        {"slow list, positions fail", DemoServer::Fault::Delay, 500, DemoServer::Fault::HttpError,
         500, true},
        {"positions hang", DemoServer::Fault::None, 0, DemoServer::Fault::Hang, 0, true},
        {"positions cut short", DemoServer::Fault::None, 0, DemoServer::Fault::CutBody, 0, true},
    };
    for (const Phase &phase : phases) {
        server.clearFaults();
        server.setFault(QStringLiteral("getBoats"), phase.boats, phase.boatsValue);
        server.setFault(QStringLiteral("getPosition"), phase.positions, phase.positionsValue);
        QVERIFY2(choose(), phase.name);
        QTRY_VERIFY2_WITH_TIMEOUT(idle(session), phase.name, 30000);
        QVERIFY2(session.ask(QStringLiteral("ping")).ok, phase.name);
        QVERIFY2(stored() == 0, phase.name);
        QVERIFY2(boatsStored() == (phase.listStored ? int(server.boats(eventId).size()) : 0),
                 phase.name);
        // What was stored before is still there, once.
        QVERIFY2(storedTracks(session, startEvent) == startExpected, phase.name);
        QVERIFY2(doubledFixes(session) == 0, phase.name);
    }

    // The service behaves again: choosing the race once more fetches what is missing.
    server.clearFaults();
    server.clearRequestLog();
    QVERIFY(choose());
    const TrackSummary expected = expectedTracks(server, eventId);
    QTRY_VERIFY_WITH_TIMEOUT(idle(session) && stored() >= fixTotal(expected), 30000);
    QCOMPARE(storedTracks(session, eventId), expected);
    QCOMPARE(storedTracks(session, startEvent), startExpected);
    QCOMPARE(doubledFixes(session), 0);
    QCOMPARE(countServed(server, QStringLiteral("getBoats"), eventId), 0); // the list was kept
    QCOMPARE(session.value(QStringLiteral("ships")).toArray().size(), expected.size());

    // Choosing it yet again asks for nothing.
    server.clearRequestLog();
    QVERIFY(choose());
    QTRY_VERIFY_WITH_TIMEOUT(idle(session), 30000);
    QCOMPARE(countServed(server, QStringLiteral("getPosition"), eventId), 0);
    QCOMPARE(doubledFixes(session), 0);

    QVERIFY(session.ask(QStringLiteral("close")).ok);
    QVERIFY(session.waitForExit());
    QCOMPARE(home.process().exitCode(), 0);
    // No box bothered the user about the network.
    QCOMPARE(home.boxLines().size(), 1);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
