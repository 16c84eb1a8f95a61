#include "demoserver.h"
#include "messagerecorder.h"
#include "platform/platform.h"
#include "platform/seams.h"
#include "update/vuavailableupdate.h"
#include "update/vufeed.h"
#include "update/vuignoredversions.h"
#include "update/vuupdatedownloadprogress.h"
#include "update/vuupdater.h"
#include "update/vuupdatewindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHttpServer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

namespace
{

const char feedPath[] = "/downloads/setup/test-feed.xml";
const char notesPath[] = "/downloads/setup/notes.html";
const char installerPath[] = "/downloads/setup/velmaro-setup-2.8.bin";

struct Enclosure {
    QString platform = Platform::feedPlatformId(); // null: attribute left out
    QString url;
    QString version = QStringLiteral("2.8");
    QString updateVersion;
    QString minPrevVersion;
    QString programType = QStringLiteral("FULL");
    QString length;
    QString sha256;
};

QString attribute(const char *name, const QString &value)
{
    return value.isNull() ? QString()
                          : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value);
}

QString enclosureXml(const Enclosure &e)
{
    return QStringLiteral("<enclosure") + attribute("url", e.url) +
           attribute("velmaro:platform", e.platform) + attribute("velmaro:version", e.version) +
           attribute("update:version", e.updateVersion) +
           attribute("velmaro:minPrevVersion", e.minPrevVersion) +
           attribute("velmaro:programType", e.programType) + attribute("length", e.length) +
           attribute("sha256", e.sha256) + QStringLiteral(" type=\"application/octet-stream\"/>");
}

QString itemXml(const QString &title, const QString &notesLink, const Enclosure &e,
                const QString &link = QString())
{
    QString xml = QStringLiteral("<item><title>%1</title>").arg(title);
    if (!link.isNull())
        xml += QStringLiteral("<link>%1</link>").arg(link);
    if (!notesLink.isNull())
        xml +=
            QStringLiteral("<update:releaseNotesLink>%1</update:releaseNotesLink>").arg(notesLink);
    xml += QStringLiteral("<pubDate>Sat, 01 Mar 2025 10:00:00 +0000</pubDate>");
    return xml + enclosureXml(e) + QStringLiteral("</item>");
}

QByteArray rss(const QStringList &items)
{
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                           "<rss version=\"2.0\" xmlns:velmaro=\"https://velmaro.org/xmlns/feed\" "
                           "xmlns:update=\"https://velmaro.org/xmlns/update\">\n"
                           "<channel><title>Velmaro</title><link>https://velmaro.org</link>\n") +
            items.join(QLatin1Char('\n')) + QStringLiteral("\n</channel></rss>\n"))
        .toUtf8();
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestVuUpdater : public QObject
{
    Q_OBJECT
private:
    QString url(const char *path) const { return m_server->baseUrl() + QLatin1String(path); }
    void serveFeed(const QStringList &items)
    {
        m_server->setStaticFile(QLatin1String(feedPath), rss(items), "application/rss+xml");
    }
    Enclosure installerEnclosure() const
    {
        Enclosure e;
        e.url = url(installerPath);
        e.length = QString::number(m_installer.size());
        e.sha256 = QString::fromLatin1(
            QCryptographicHash::hash(m_installer, QCryptographicHash::Sha256).toHex());
        return e;
    }
    // Starts a check and waits until the feed request is over.
    void check(bool silent, const QString &feed = QString())
    {
        VuUpdater *updater = VuUpdater::instance();
        if (!feed.isEmpty())
            updater->setFeedURL(feed);
        QVERIFY(updater->CheckForUpdates(silent));
        QTRY_VERIFY_WITH_TIMEOUT(!updater->isChecking(), 10000);
    }
    // The demo server's own feed, offering 2.8.
    void checkDemoFeed()
    {
        m_server->setOfferedVersion(QStringLiteral("2.8"));
        check(true, m_server->baseUrl() + QStringLiteral("/downloads/setup/velmaro.xml"));
    }
    VuUpdateWindow *window() const { return VuUpdater::instance()->updateWindow(); }
    void clickInstall()
    {
        QVERIFY(window());
        auto *button = window()->findChild<QPushButton *>(QStringLiteral("installUpdateButton"));
        QVERIFY(button);
        button->click();
    }

    DemoServer *m_server = nullptr;
    std::unique_ptr<MessageRecorder> m_boxes;
    QStringList m_started;
    QList<int> m_exits;
    QByteArray m_installer;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("t.a.l.v.e.n."));
        QCoreApplication::setOrganizationDomain(QStringLiteral("velmaro.org"));
        QCoreApplication::setApplicationName(QStringLiteral("Velmaro"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.7.2"));

        DemoServer::Options options;
        options.quiet = true;
        m_server = new DemoServer(options, this);
        QVERIFY(m_server->listen(0) != 0);

        Seams::setProcessStarter([this](const QString &program, const QStringList &) {
            m_started << program;
            return true;
        });
        Seams::setExitHandler([this](int status) { m_exits << status; });

        for (int i = 0; i < 300; ++i)
            m_installer += QByteArray("VELMARO-INSTALLER-") + QByteArray::number(i) + '\n';
    }

    void init()
    {
        m_boxes = std::make_unique<MessageRecorder>();
        m_started.clear();
        m_exits.clear();
        m_server->clearFaults();
        m_server->setOfferedVersion(QString());
        m_server->setFeedCredentials(QString(), QString());
        m_server->setInstallerTamper(QByteArray());
        m_server->setStaticFile(QLatin1String(notesPath), "<h1>Velmaro 2.8</h1><p>Neue Karten</p>",
                                "text/html");
        m_server->setStaticFile(QLatin1String(installerPath), m_installer,
                                "application/octet-stream");
        QSettings().remove(QLatin1String(VUIgnoredVersions::settingsKey));
        if (QFileInfo(VuUpdater::updateFolder()).isSymLink())
            QFile::remove(VuUpdater::updateFolder());
        else
            QDir(VuUpdater::updateFolder()).removeRecursively();

        VuUpdater *updater = VuUpdater::instance();
        updater->setFeedURL(url(feedPath));
        updater->setSkipAllowed(false);
        updater->setRemindLaterAllowed(true);
        updater->setHttpCredentials(QString(), QString());
        updater->setTransferTimeouts(30000, 300000);
    }

    void cleanup()
    {
        if (VuUpdateWindow *w = window())
            w->close();
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            if (qobject_cast<VuUpdateDownloadProgress *>(widget))
                widget->deleteLater();
        }
        QTRY_VERIFY(!VuUpdater::instance()->isInstalling());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_boxes.reset();
    }

    // Real feed snippets through the parser alone: what each item yields and
    // whether it may be offered here.
    void feedParsing_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("version"); // of the last item
        QTest::addColumn<bool>("suitable");   // the last item
        QTest::addColumn<QString>("error");

        const QString here =
            QStringLiteral("velmaro:platform=\"%1\"").arg(Platform::feedPlatformId());
        auto feed = [&](const QString &attributes) {
            return rss({QStringLiteral("<item><title>Velmaro 2.8</title><enclosure url=\"http://"
                                       "127.0.0.1:1/s.bin\" velmaro:version=\"2.8\" %1/></item>")
                            .arg(attributes)});
        };
        const QString full = here + QStringLiteral(" velmaro:programType=\"FULL\"");
        QTest::newRow("FULL for here") << feed(full) << 1 << "2.8" << true << QString();
        QTest::newRow("update:version wins")
            << feed(full + QStringLiteral(" update:version=\"2.9\"")) << 1 << "2.9" << true
            << QString();
        QTest::newRow("other platform") << feed(QStringLiteral("velmaro:platform=\"Q_OS_NONE\"") +
                                                QStringLiteral(" velmaro:programType=\"FULL\""))
                                        << 1 << QString() << false << QString();
        QTest::newRow("no platform") << feed(QStringLiteral("velmaro:programType=\"FULL\"")) << 1
                                     << QString() << false << QString();
        QTest::newRow("platform in lower case with blank")
            << feed(QStringLiteral("velmaro:platform=\" %1 \" velmaro:programType=\"FULL\"")
                        .arg(Platform::feedPlatformId().toLower()))
            << 1 << "2.8" << true << QString();
        QTest::newRow("type full in lower case")
            << feed(here + QStringLiteral(" velmaro:programType=\"full\"")) << 1 << "2.8" << false
            << QString();
        QTest::newRow("neither minimum nor type") << feed(here) << 1 << "2.8" << false << QString();
        QTest::newRow("minimum 2.8 passed over")
            << feed(full + QStringLiteral(" velmaro:minPrevVersion=\"2.8\"")) << 1 << "2.8" << false
            << QString();
        QTest::newRow("minimum 2.7.2 without type")
            << feed(here + QStringLiteral(" velmaro:minPrevVersion=\"2.7.2\"")) << 1 << "2.8"
            << true << QString();
        QTest::newRow("minimum 2.7 with other type")
            << feed(here + QStringLiteral(" velmaro:minPrevVersion=\"2.7\" "
                                          "velmaro:programType=\"PATCH\""))
            << 1 << "2.8" << false << QString();
        const QByteArray two =
            rss({itemXml("a", "http://x/n", Enclosure()), itemXml("b", "http://x/n", Enclosure())});
        QTest::newRow("two items") << two << 2 << "2.8" << true << QString();
        QTest::newRow("cut short is no error")
            << two.left(two.lastIndexOf("<item>")) << 1 << "2.8" << true << QString();
        QTest::newRow("broken keeps the items before")
            << two.left(two.lastIndexOf("<item>")) + "<item></channel>" << 1 << "2.8" << true
            << "Opening and ending tag mismatch.";
        QTest::newRow("empty") << QByteArray() << 0 << QString() << false << QString();
    }
    void feedParsing()
    {
        QFETCH(QByteArray, feed);
        QFETCH(int, items);
        QFETCH(QString, version);
        QFETCH(bool, suitable);
        QFETCH(QString, error);
        const VuFeedParse parsed = VuFeed::parse(feed);
        QCOMPARE(parsed.items.size(), items);
        QCOMPARE(parsed.error, error);
        if (items == 0)
            return;
        const VuFeedItem &item = parsed.items.last();
        QCOMPARE(item.version, version);
        QCOMPARE(VuFeed::isSuitable(item), suitable);
        QCOMPARE(item.title.isEmpty(), false);
    }

    // What a feed leads to, without the network: one box each, none when silent.
    void feedErrors_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("message");

        const QString notes = QStringLiteral("http://127.0.0.1:1/notes.html");
        Enclosure e;
        e.url = QStringLiteral("http://127.0.0.1:1/setup.bin");
        QTest::newRow("parsing failed")
            << QByteArray("<rss><channel><item><title>x</channel></rss>")
            << "Feed parsing failed: 1 ";
        QTest::newRow("release notes link ftp")
            << rss({itemXml("x", "ftp://127.0.0.1/notes.html", e)})
            << "Feed error: invalid \"release notes\" link";
        QTest::newRow("release notes link empty")
            << rss({itemXml("x", QString(), e)}) << "Feed error: \"release notes\" link is empty";
        Enclosure fileUrl = e;
        fileUrl.url = QStringLiteral("file:///bin/sh");
        QTest::newRow("enclosure url not on the web")
            << rss({itemXml("x", notes, fileUrl)})
            << "Feed error: invalid \"enclosure\" with the download link";
        Enclosure badHash = e;
        badHash.sha256 = QStringLiteral("abc123");
        QTest::newRow("enclosure hash malformed")
            << rss({itemXml("x", notes, badHash)})
            << "Feed error: invalid \"enclosure\" with the download link";
        Enclosure same = e;
        same.version = QStringLiteral("2.7.2");
        QTest::newRow("running version")
            << rss({itemXml("x", notes, same)}) << "No updates were found.";
    }

    void feedErrors()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, message);

        VuUpdater::instance()->handleFeed(feed, false);
        QCOMPARE(m_boxes->count(), 1);
        const Seams::MessageBoxRequest box = m_boxes->boxes().first();
        QVERIFY2(box.informativeText.startsWith(message), qPrintable(box.informativeText));
        const bool info = message.startsWith(QLatin1String("No updates"));
        QCOMPARE(box.icon, info ? QMessageBox::Information : QMessageBox::Critical);
        QCOMPARE(box.text, info ? QStringLiteral("Information") : QStringLiteral("Error"));
        QVERIFY(!window());

        m_boxes->clear();
        VuUpdater::instance()->handleFeed(feed, true);
        QCOMPARE(m_boxes->count(), 0);
    }

    void feedRedirectLoopStops()
    {
        QHttpServer loop;
        loop.route(QStringLiteral("/loop/<arg>"), [](int n) {
            QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
            response.setHeader("Location", "/loop/" + QByteArray::number(n + 1));
            return response;
        });
        const quint16 port = loop.listen(QHostAddress::LocalHost, 0);
        QVERIFY(port != 0);
        check(false, QStringLiteral("http://127.0.0.1:%1/loop/0").arg(port));
        QCOMPARE(m_boxes->count(), 1);
        QCOMPARE(m_boxes->boxes().first().informativeText,
                 QStringLiteral("Feed download failed: Too many redirects."));
        QCOMPARE(VuUpdater::instance()->feedURL().path(),
                 QStringLiteral("/loop/%1").arg(VuUpdater::maxFeedRedirects));
    }

    void credentialsAndTimeout_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("hang");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << "segler"
                               << "geheim" << false << true;
        QTest::newRow("wrong password") << "segler"
                                        << "falsch" << false << false;
        QTest::newRow("none") << QString() << QString() << false << false;
        QTest::newRow("right, but the feed hangs") << "segler"
                                                   << "geheim" << true << false;
    }
    void credentialsAndTimeout()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, hang);
        QFETCH(bool, accepted);

        m_server->setOfferedVersion(QStringLiteral("2.8"));
        m_server->setFeedCredentials(QStringLiteral("segler"), QStringLiteral("geheim"));
        VuUpdater::instance()->setHttpCredentials(user, password);
        if (hang) {
            m_server->setFault(QStringLiteral("feed"), DemoServer::Fault::Hang);
            VuUpdater::instance()->setTransferTimeouts(300, 300);
        }
        if (password == QLatin1String("falsch"))
            QTest::ignoreMessage(QtWarningMsg, "Http authentication: Wrong credentials!");
        check(false, m_server->baseUrl() + QStringLiteral("/downloads/setup/velmaro.xml"));
        QCOMPARE(window() != nullptr, accepted);
        QCOMPARE(m_boxes->count(), accepted ? 0 : 1);
        if (!accepted)
            QVERIFY(m_boxes->boxes().first().informativeText.startsWith(
                QLatin1String("Feed download failed: ")));
    }

    void installStartsCheckedInstaller()
    {
        // An installer left from an earlier attempt is replaced.
        QVERIFY(Platform::makePrivateFolder(VuUpdater::updateFolder()));
        const QString path = QDir(VuUpdater::updateFolder()).filePath("velmaro-setup-2.8.bin");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old installer");
        }

        serveFeed({itemXml("Velmaro 2.8", url(notesPath), installerEnclosure())});
        check(true);
        QSignalSpy started(VuUpdater::instance(), &VuUpdater::updatedFinishedSuccessfully);
        clickInstall();
        QCOMPARE(started.count(), 1);
        QVERIFY(!window());

        QTRY_COMPARE_WITH_TIMEOUT(m_exits, QList<int>{0}, 10000);
        QCOMPARE(m_started, QStringList{path});
        QCOMPARE(m_boxes->count(), 0);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), m_installer);
        QVERIFY(file.permissions() & QFileDevice::ExeOwner);
#ifndef Q_OS_WIN
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                            QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFileInfo(VuUpdater::updateFolder()).permissions() & others,
                 QFileDevice::Permissions());
#endif
        // Only the installer itself is in the folder: no temporary leftovers.
        QCOMPARE(QDir(VuUpdater::updateFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A download that is not exactly the announced installer is never started.
    void installRefused_data()
    {
        QTest::addColumn<QString>("length"); // "demo": the demo feed with a fault
        QTest::addColumn<QString>("sha256");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");

        const QString rightHash = QString::fromLatin1(
            QCryptographicHash::hash(m_installer, QCryptographicHash::Sha256).toHex());
        const QString size = QString::number(m_installer.size());
        QTest::newRow("length too large")
            << QString::number(m_installer.size() + 1) << rightHash << -1 << QString();
        QTest::newRow("length too small")
            << QString::number(m_installer.size() - 1) << rightHash << -1 << QString();
        QTest::newRow("sha256 mismatch")
            << size << QString(64, QLatin1Char('1')) << -1 << QString();
        QTest::newRow("sha256 mismatch without length")
            << QString() << QString(64, QLatin1Char('0')) << -1 << QString();
        // Same size, other bytes: only the hash can tell.
        QTest::newRow("tampered demo installer") << "demo" << QString() << -1 << QString();
        QTest::newRow("cut off") << "demo" << QString() << int(DemoServer::Fault::CutBody)
                                 << QString();
        QTest::newRow("timed out") << "demo" << QString() << int(DemoServer::Fault::Hang)
                                   << "Das Update konnte nicht geladen werden";
    }
    void installRefused()
    {
        QFETCH(QString, length);
        QFETCH(QString, sha256);
        QFETCH(int, fault);
        QFETCH(QString, message);

        if (length == QLatin1String("demo")) {
            if (fault >= 0)
                m_server->setFault(QStringLiteral("installer"), DemoServer::Fault(fault));
            checkDemoFeed();
            QVERIFY(window());
            const qint64 size = VuUpdater::instance()->proposedUpdate()->enclosureLength();
            QVERIFY(size > 0);
            if (fault < 0)
                m_server->setInstallerTamper(QByteArray(int(size), 'X'));
            VuUpdater::instance()->setTransferTimeouts(30000, 300);
        } else {
            Enclosure e = installerEnclosure();
            e.length = length;
            e.sha256 = sha256;
            serveFeed({itemXml("Velmaro 2.8", url(notesPath), e)});
            check(true);
        }
        clickInstall();
        QTRY_VERIFY_WITH_TIMEOUT(!VuUpdater::instance()->isInstalling(), 10000);
        QTRY_COMPARE(m_boxes->count(), 1);
        QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
        QVERIFY(m_boxes->boxes().first().informativeText.startsWith(message));
        QVERIFY(m_started.isEmpty());
        QVERIFY(m_exits.isEmpty());
        QVERIFY(QDir(VuUpdater::updateFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void installFolderSymlinkRefused()
    {
#ifdef Q_OS_WIN
        QSKIP("symbolic links need privileges on Windows");
#endif
        QTemporaryDir elsewhere(QDir::homePath() + QStringLiteral("/planted-XXXXXX"));
        QVERIFY(QFile::link(elsewhere.path(), VuUpdater::updateFolder()));
        serveFeed({itemXml("Velmaro 2.8", url(notesPath), installerEnclosure())});
        check(true);
        clickInstall();
        QCOMPARE(m_boxes->count(), 1);
        QVERIFY(m_boxes->boxes().first().informativeText.contains(
            QStringLiteral("kann nicht sicher benutzt werden")));
        QVERIFY(!VuUpdater::instance()->isInstalling());
        QVERIFY(window()); // the offer stays open
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QFile::remove(VuUpdater::updateFolder());
    }

    // --- old-version clean-up -------------------------------------------------------
    void removeOldVersionFiles()
    {
        const QString root = VuUpdater::updateFolder();
        QVERIFY(Platform::makePrivateFolder(root));
        touch(root + "/a/b/x.oldversion");
        touch(root + "/a/x.oldversion.txt");
        touch(root + "/a/b/x.OLDVERSION");
        touch(root + "/top.oldversion");
        // A folder outside, reached through a link, must stay untouched; so must
        // the rest of the temporary folder.
        QTemporaryDir outside(QDir::homePath() + QStringLiteral("/outside-XXXXXX"));
        touch(outside.path() + "/victim.oldversion");
        const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        touch(temp + "/other-program/y.oldversion");
#ifndef Q_OS_WIN
        QVERIFY(QFile::link(outside.path(), root + "/a/link"));
#endif

        VuUpdater::instance()->removeOldVersionFiles(QString());

        QVERIFY(!QFile::exists(root + "/a/b/x.oldversion"));
        QVERIFY(!QFile::exists(root + "/top.oldversion"));
        QVERIFY(QFile::exists(root + "/a/x.oldversion.txt"));
        QVERIFY(QFile::exists(root + "/a/b/x.OLDVERSION"));
        QVERIFY(QFile::exists(outside.path() + "/victim.oldversion"));
        QVERIFY(QFile::exists(temp + "/other-program/y.oldversion"));

        // A folder inside the temporary location may be named.
        VuUpdater::instance()->removeOldVersionFiles(temp + "/other-program");
        QVERIFY(!QFile::exists(temp + "/other-program/y.oldversion"));
    }

    void removeOldVersionFilesOutsideTempRefused()
    {
        QTemporaryDir outside(QDir::homePath() + QStringLiteral("/outside-XXXXXX"));
        touch(outside.path() + "/sub/x.oldversion");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside the temporary folder"));
        VuUpdater::instance()->removeOldVersionFiles(outside.path());
        QVERIFY(QFile::exists(outside.path() + "/sub/x.oldversion"));

        // Nor does a path that only looks as if it were inside.
        const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside the temporary folder"));
        VuUpdater::instance()->removeOldVersionFiles(
            temp + "/../" + QDir(temp + "/..").relativeFilePath(outside.path()));
        QVERIFY(QFile::exists(outside.path() + "/sub/x.oldversion"));
    }
};

QTEST_MAIN(TestVuUpdater)
#include "tst_vuupdater.moc"
