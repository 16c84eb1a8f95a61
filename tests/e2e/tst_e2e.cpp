// The real program against the demo service as a user meets it; the
// service's faults are tst_trackingclient's.
#include "childprogram.h"
#include "demoserver.h"

#include <QtNetwork>
#include <QtTest>

namespace
{
const QString raceName = QStringLiteral("Vudav Avazavava Zerevudeva 2011");
constexpr int eventId = 21;

// velmaro-e2e in a ChildProgram's home, steered over a local socket. Waiting
// serves events, so the DemoServer in this process keeps answering it.
class Session
{
public:
    explicit Session(ChildProgram *program) : m_program(program) {}
    ~Session() { m_program->stop(5000); }

    bool start(const QString &baseUrl)
    {
        if (!m_server.listen("velmaro-e2e-" + QUuid::createUuid().toString(QUuid::Id128)))
            return false;
        m_program->setEnv("VELMARO_E2E_SOCKET", m_server.fullServerName());
        for (const char *variable :
             {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
            m_program->setEnv(variable, baseUrl);
        return m_program->start(ChildProgram::buildProgram("velmaro-e2e")) &&
               QTest::qWaitFor(
                   [&] {
                       return m_server.hasPendingConnections() ||
                              m_program->process().state() == QProcess::NotRunning;
                   },
                   60000) &&
               (m_socket = m_server.nextPendingConnection());
    }
    // One command and its answer; the value, or an error text when !ok.
    QJsonObject ask(const QString &command)
    {
        m_socket->write(command.toUtf8() + '\n');
        QTest::qWaitFor(
            [&] {
                m_buffer += m_socket->readAll();
                return m_buffer.contains('\n') || m_socket->state() != QLocalSocket::ConnectedState;
            },
            30000);
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
        QProcess &p = m_program->process();
        QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000);
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private:
    ChildProgram *m_program;
    QLocalServer m_server;
    QLocalSocket *m_socket = nullptr;
    QByteArray m_buffer;
};

// Per boat: fixes, first and last time stamp.
using Tracks = QMap<int, QList<qint64>>;

Tracks expectedTracks(const DemoServer &server)
{
    Tracks t;
    for (const DemoServer::Boat &boat : server.boats(eventId)) {
        const QList<DemoServer::Fix> fixes = server.fixes(eventId, boat.id);
        t.insert(boat.id, {qint64(fixes.size()), fixes.first().tstamp, fixes.last().tstamp});
    }
    return t;
}

Tracks storedTracks(Session &s)
{
    Tracks t;
    const QJsonValue rows = s.value("sql\tSELECT ship_id, count(*), min(tstamp), max(tstamp) FROM "
                                    "track WHERE regatta_id=21 GROUP BY ship_id");
    for (const QJsonValue &r : rows.toArray())
        t.insert(r[0].toInt(), {r[1].toInteger(), r[2].toInteger(), r[3].toInteger()});
    return t;
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
    std::unique_ptr<DemoServer> m_server;
    ChildProgram m_home; // kept from the first start to the second
    QJsonValue m_geometry;

private slots:
    void initTestCase()
    {
        if (ChildProgram::buildProgram("velmaro-e2e").isEmpty())
            QSKIP("VELMARO_BINARY_DIR names the build tree; run through CTest");
        DemoServer::Options options;
        options.quiet = true;
        m_server = std::make_unique<DemoServer>(options);
        QVERIFY(m_server->listen(0) != 0);
    }

    void firstStartFetchesTheWholeRace()
    {
        Session s(&m_home);
        QVERIFY(s.start(m_server->baseUrl()));
        // A new database, announced before the window.
        QCOMPARE(m_home.boxLines().value(0),
                 QString("Information\tInitialisierung...\tDie Datenbank wird "
                         "in der Version 9 neu angelegt.\\n\\n\t\tOk\tOk"));
        QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 60000); // the start race settles first
        m_server->clearRequestLog();
        QVERIFY(s.ok("trigger\t&Regatten\t" + raceName));
        QCOMPARE(s.state("race").toString(), raceName);
        QVERIFY(s.state("title").toString().endsWith(raceName));
        // Every fix of every boat, once; the boat list first, then each history once.
        const Tracks expected = expectedTracks(*m_server);
        qint64 fixes = 0, earliest = LLONG_MAX, latest = 0;
        for (const QList<qint64> &boat : expected) {
            fixes += boat.at(0);
            earliest = std::min(earliest, boat.at(1));
            latest = std::max(latest, boat.at(2));
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            s.sql("SELECT count(*) FROM track WHERE regatta_id=21") >= fixes && s.idle(), 90000);
        QCOMPARE(storedTracks(s), expected);
        QCOMPARE(doubled(s), 0);
        QCOMPARE(s.sql("SELECT count(*) FROM sqlite_master WHERE name='track_regatta_ship_tstamp'"),
                 1);
        const QList<DemoServer::Boat> boats = m_server->boats(eventId);
        QStringList log = served(*m_server, eventId);
        QCOMPARE(log.takeFirst(), QStringLiteral("getBoats"));
        QCOMPARE(log, QStringList(boats.size(), "getPosition"));
        // The slider spans the race: a minute after the first fix to the last.
        QCOMPARE(s.value("slider").toObject(),
                 QJsonObject({{"min", earliest + 60}, {"max", latest}, {"value", latest}}));
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
            QVERIFY(qAbs(st["followedX"].toInt() - st["mapWidth"].toInt() / 2) <= 2 &&
                    qAbs(st["followedY"].toInt() - st["mapHeight"].toInt() / 2) <= 2);
        }
        QCOMPARE(s.sql("SELECT count(*) FROM ship WHERE follow='true'"), 1);
        // Closing stores the window state.
        QVERIFY(s.ok("resize\t900\t700"));
        m_geometry = s.state("geometry");
        QVERIFY(s.close());
        QSettings settings(m_home.settingsPath(), QSettings::IniFormat);
        QVERIFY(!settings.value("geomMainwindow").toByteArray().isEmpty());
        QCOMPARE((QList<int>{settings.value("splitterOpen").toBool(),
                             settings.value("eventId").toInt(), settings.value("taskId").toInt()}),
                 (QList<int>{true, eventId, 120}));
    }

    void secondStartRestoresAndDownloadsNothingStored()
    {
        if (m_geometry.isUndefined())
            QSKIP("needs the first start");
        const Tracks expected = expectedTracks(*m_server);
        m_server->clearRequestLog();
        const QStringList boxes = m_home.boxLines();
        Session s(&m_home);
        QVERIFY(s.start(m_server->baseUrl()));
        QCOMPARE(s.state("race").toString(), raceName);
        QVERIFY(s.state("panelOpen").toBool());
        QCOMPARE(s.state("geometry"), m_geometry);
        QCOMPARE(s.state("ships").toInt(), int(expected.size()));
        QCOMPARE(s.state("followed").toInt(), m_server->boats(eventId).at(expected.size() / 2).id);
        QTRY_VERIFY_WITH_TIMEOUT(s.idle(), 30000);
        QCOMPARE(served(*m_server, eventId), QStringList());
        QCOMPARE(storedTracks(s), expected);
        QCOMPARE(doubled(s), 0);
        QCOMPARE(m_home.boxLines(), boxes); // the database was found as it was left
        QVERIFY(s.close());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
