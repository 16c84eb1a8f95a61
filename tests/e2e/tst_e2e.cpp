// The real program against the demo service, as a user meets it: first start,
// choosing the 2011 race, the whole history arriving once, slider, following a
// boat, closing and a second start that restores everything and downloads
// nothing twice; then the service's faults.
#include "childprogram.h"
#include "demoserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSettings>
#include <QUrlQuery>
#include <QUuid>
#include <QtTest>

namespace
{

const QString raceName = QStringLiteral("Vudav Avazavava Zerevudeva 2011");
constexpr int eventId = 21;
const QString trigger = QStringLiteral("trigger\t&Regatten\t") + raceName;

// velmaro-e2e in a ChildProgram's home, steered over a local socket. Waiting
// serves events, so the DemoServer in this process keeps answering it.
class Session
{
public:
    explicit Session(ChildProgram *program) : m_program(program) {}
    ~Session() { m_program->stop(5000); }

    bool start(const QString &baseUrl)
    {
        const QString name = "velmaro-e2e-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!m_server.listen(name))
            return false;
        m_program->setEnv("VELMARO_E2E_SOCKET", m_server.fullServerName());
        for (const char *variable :
             {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            m_program->setEnv(variable, baseUrl);
        if (!m_program->start(ChildProgram::buildProgram("velmaro-e2e")))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!m_server.hasPendingConnections() && timer.elapsed() < 60000 &&
               m_program->process().state() != QProcess::NotRunning)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!m_server.hasPendingConnections())
            return false;
        m_socket = m_server.nextPendingConnection();
        return true;
    }
    // One command and its answer; the value, or an error text when !ok.
    QJsonObject ask(const QString &command)
    {
        m_socket->write(command.toUtf8() + '\n');
        QElapsedTimer timer;
        timer.start();
        while (!m_buffer.contains('\n') && timer.elapsed() < 30000 &&
               m_socket->state() == QLocalSocket::ConnectedState) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            m_buffer += m_socket->readAll();
        }
        const qsizetype end = m_buffer.indexOf('\n');
        const QJsonObject o = QJsonDocument::fromJson(m_buffer.left(end)).object();
        m_buffer.remove(0, end + 1);
        return o;
    }
    bool ok(const QString &command) { return ask(command).value("ok").toBool(); }
    QJsonValue value(const QString &command) { return ask(command).value("value"); }
    QJsonValue state(const char *key) { return value("state").toObject().value(key); }
    qint64 sql(const QString &statement)
    {
        return value("sql\t" + statement).toArray().at(0).toArray().at(0).toInteger();
    }
    bool idle() { return state("openTransfers") == QJsonValue(0); }
    bool close()
    {
        ok("close");
        QElapsedTimer timer;
        timer.start();
        while (m_program->process().state() != QProcess::NotRunning && timer.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return m_program->process().exitStatus() == QProcess::NormalExit &&
               m_program->process().exitCode() == 0;
    }

private:
    ChildProgram *m_program;
    QLocalServer m_server;
    QLocalSocket *m_socket = nullptr;
    QByteArray m_buffer;
};

// Per boat: fixes, first and last time stamp.
using Tracks = QMap<int, QList<qint64>>;

Tracks expectedTracks(const DemoServer &server, int event)
{
    Tracks t;
    for (const DemoServer::Boat &boat : server.boats(event)) {
        const QList<DemoServer::Fix> fixes = server.fixes(event, boat.id);
        t.insert(boat.id, {qint64(fixes.size()), fixes.first().tstamp, fixes.last().tstamp});
    }
    return t;
}

Tracks storedTracks(Session &s, int event)
{
    Tracks t;
    const QJsonArray rows = s.value(QStringLiteral("sql\tSELECT ship_id, count(*), min(tstamp), "
                                                   "max(tstamp) FROM track WHERE regatta_id=%1 "
                                                   "GROUP BY ship_id")
                                        .arg(event))
                                .toArray();
    for (const QJsonValue &row : rows) {
        const QJsonArray r = row.toArray();
        t.insert(r.at(0).toInt(), {r.at(1).toInteger(), r.at(2).toInteger(), r.at(3).toInteger()});
    }
    return t;
}

qint64 total(const Tracks &t)
{
    qint64 n = 0;
    for (const QList<qint64> &boat : t)
        n += boat.first();
    return n;
}

// Rows of table track that repeat a boat and moment already stored.
qint64 doubled(Session &s)
{
    return s.sql("SELECT count(*) - (SELECT count(*) FROM (SELECT DISTINCT regatta_id, ship_id, "
                 "tstamp FROM track)) FROM track");
}

// The endpoints the service served for the race, in order.
QStringList served(const DemoServer &server, int event)
{
    QStringList list;
    for (const DemoServer::Request &r : server.requestLog())
        if (QUrlQuery(r.query).queryItemValue("rg").toInt() == event)
            list.append(r.endpoint);
    return list;
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
    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<ChildProgram> m_home; // kept from the first start to the second
    QJsonValue m_geometry;
};

void TestEndToEnd::initTestCase()
{
    if (ChildProgram::buildProgram("velmaro-e2e").isEmpty())
        QSKIP("VELMARO_BINARY_DIR names the build tree; run through CTest");
    DemoServer::Options options;
    options.quiet = true;
    m_server = std::make_unique<DemoServer>(options);
    QVERIFY(m_server->listen(0) != 0);
    m_home = std::make_unique<ChildProgram>();
}

void TestEndToEnd::firstStartFetchesTheWholeRace()
{
    Session s(m_home.get());
    QVERIFY(s.start(m_server->baseUrl()));
    // A new database, announced before the window.
    QVERIFY(m_home->boxLines().value(0).startsWith("Information\tInitialisierung...\t"));
    QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 60000); // the start race settles first
    m_server->clearRequestLog();

    QVERIFY(s.ok(trigger));
    QCOMPARE(s.state("race").toString(), raceName);
    QVERIFY(s.state("title").toString().endsWith(raceName));

    // Every fix of every boat, once; the boat list first, then each history once.
    const Tracks expected = expectedTracks(*m_server, eventId);
    QTRY_VERIFY_WITH_TIMEOUT(total(storedTracks(s, eventId)) >= total(expected) && s.idle(), 90000);
    QCOMPARE(storedTracks(s, eventId), expected);
    QCOMPARE(doubled(s), 0);
    const QList<DemoServer::Boat> boats = m_server->boats(eventId);
    QStringList log = served(*m_server, eventId);
    QCOMPARE(log.takeFirst(), QStringLiteral("getBoats"));
    QCOMPARE(log, QStringList(boats.size(), "getPosition"));

    // The slider spans the race: a minute after the first fix to the last.
    qint64 earliest = LLONG_MAX, latest = 0;
    for (const QList<qint64> &boat : expected) {
        earliest = std::min(earliest, boat.at(1));
        latest = std::max(latest, boat.at(2));
    }
    const QJsonObject slider = s.value("slider").toObject();
    QCOMPARE(slider.value("min").toInteger(), earliest + 60);
    QCOMPARE(slider.value("max").toInteger(), latest);
    QCOMPARE(slider.value("value").toInteger(), latest);

    // Following a boat from the legend centres the map on it at every moment.
    QVERIFY(s.ok("key\tSpace"));
    QVERIFY(s.state("panelOpen").toBool());
    const int followed = boats.at(boats.size() / 2).id;
    QVERIFY(s.ok(QStringLiteral("clicklegend\t%1").arg(followed)));
    for (const qint64 moment : {latest, (earliest + latest) / 2}) {
        QVERIFY(s.ok(QStringLiteral("setslider\t%1").arg(moment)));
        const QJsonObject st = s.value("state").toObject();
        QCOMPARE(st.value("followed").toInt(), followed);
        QCOMPARE(st.value("centre"), st.value("followedAt"));
        QVERIFY(qAbs(st.value("followedX").toInt() - st.value("mapWidth").toInt() / 2) <= 2);
        QVERIFY(qAbs(st.value("followedY").toInt() - st.value("mapHeight").toInt() / 2) <= 2);
    }
    QCOMPARE(s.sql("SELECT count(*) FROM ship WHERE follow='true'"), 1);

    // Closing stores the window state.
    QVERIFY(s.ok("resize\t900\t700"));
    m_geometry = s.state("geometry");
    QVERIFY(s.close());
    QSettings settings(m_home->settingsPath(), QSettings::IniFormat);
    QVERIFY(!settings.value("geomMainwindow").toByteArray().isEmpty());
    QCOMPARE(settings.value("splitterOpen").toBool(), true);
    QCOMPARE(settings.value("eventId").toInt(), eventId);
    QCOMPARE(settings.value("taskId").toInt(), 120);
}

void TestEndToEnd::secondStartRestoresAndDownloadsNothingStored()
{
    if (m_geometry.isUndefined())
        QSKIP("needs the first start");
    const Tracks expected = expectedTracks(*m_server, eventId);
    m_server->clearRequestLog();
    const QStringList boxes = m_home->boxLines();

    Session s(m_home.get());
    QVERIFY(s.start(m_server->baseUrl()));
    QCOMPARE(s.state("race").toString(), raceName);
    QVERIFY(s.state("panelOpen").toBool());
    QCOMPARE(s.state("geometry"), m_geometry);
    QCOMPARE(s.state("ships").toInt(), int(expected.size()));
    QCOMPARE(s.state("followed").toInt(), m_server->boats(eventId).at(expected.size() / 2).id);
    QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 30000);
    QCOMPARE(served(*m_server, eventId), QStringList());
    QCOMPARE(storedTracks(s, eventId), expected);
    QCOMPARE(doubled(s), 0);
    QCOMPARE(m_home->boxLines(), boxes); // the database was found as it was left
    QVERIFY(s.close());
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
    server.setFault("getPosition", DemoServer::Fault::Malformed);
    server.setFault("getBoats", DemoServer::Fault::Malformed);

    ChildProgram home;
    Session s(&home);
    QVERIFY(s.start(server.baseUrl()));
    const int startEvent = s.state("eventId").toInt();
    const Tracks startExpected = expectedTracks(server, startEvent);
    QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 60000);
    QCOMPARE(storedTracks(s, startEvent), startExpected);
    QCOMPARE(s.sql(QStringLiteral("SELECT count(*) FROM ship WHERE regatta_id=%1").arg(startEvent)),
             server.boats(startEvent).size());

    QVERIFY(s.ok("timeouts\t1500"));
    const QString fixesOf =
        QStringLiteral("SELECT count(*) FROM track WHERE regatta_id=%1").arg(eventId);
    const QString boatsOf =
        QStringLiteral("SELECT count(*) FROM ship WHERE regatta_id=%1").arg(eventId);
    using F = DemoServer::Fault;
    struct Phase {
        const char *name;
        F boats;
        int boatsValue;
        F positions;
        int positionsValue;
        bool listStored; // the boat list is in table ship afterwards
    };
    const Phase phases[] = {
        {"boat list hangs", F::Hang, 0, F::None, 0, false},
        {"boat list fails", F::HttpError, 503, F::None, 0, false},
        {"slow list, positions fail", F::Delay, 500, F::HttpError, 500, true},
        {"positions hang", F::None, 0, F::Hang, 0, true},
        {"positions cut short", F::None, 0, F::CutBody, 0, true},
    };
    for (const Phase &phase : phases) {
        server.clearFaults();
        server.setFault("getBoats", phase.boats, phase.boatsValue);
        server.setFault("getPosition", phase.positions, phase.positionsValue);
        QVERIFY2(s.ok(trigger), phase.name);
        QTRY_VERIFY2_WITH_TIMEOUT(s.idle(), phase.name, 30000);
        QVERIFY2(s.sql(fixesOf) == 0, phase.name);
        QVERIFY2(s.sql(boatsOf) == (phase.listStored ? server.boats(eventId).size() : 0),
                 phase.name);
        // What was stored before is still there, once.
        QVERIFY2(storedTracks(s, startEvent) == startExpected && doubled(s) == 0, phase.name);
    }

    // The service behaves again: choosing the race once more fetches what is
    // missing, and the kept boat list is not asked for again.
    server.clearFaults();
    server.clearRequestLog();
    QVERIFY(s.ok(trigger));
    const Tracks expected = expectedTracks(server, eventId);
    QTRY_VERIFY_WITH_TIMEOUT(s.idle() && s.sql(fixesOf) >= total(expected), 30000);
    QCOMPARE(storedTracks(s, eventId), expected);
    QCOMPARE(storedTracks(s, startEvent), startExpected);
    QCOMPARE(doubled(s), 0);
    QVERIFY(!served(server, eventId).contains("getBoats"));
    QCOMPARE(s.state("ships").toInt(), expected.size());

    // Choosing it yet again asks for nothing.
    server.clearRequestLog();
    QVERIFY(s.ok(trigger));
    QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 30000);
    QCOMPARE(served(server, eventId), QStringList());
    QVERIFY(s.close());
    QCOMPARE(home.boxLines().size(), 1); // no box bothered the user about the network
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
