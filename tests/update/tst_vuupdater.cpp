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
#include <QHttpServer>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

namespace
{

const QString here = Platform::feedPlatformId();

// One feed item; attributes are added to its enclosure as they are.
QString item(const QString &attributes, const QString &notes = "http://127.0.0.1:1/notes.html",
             const QString &url = "http://127.0.0.1:1/setup.bin")
{
    QString xml = "<item><title>Velmaro 2.8</title>";
    if (!notes.isNull())
        xml += "<update:releaseNotesLink>" + notes + "</update:releaseNotesLink>";
    return xml + "<enclosure url=\"" + url + "\" velmaro:version=\"2.8\" " + attributes +
           " type=\"application/octet-stream\"/></item>";
}

QByteArray rss(const QStringList &items)
{
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
            "xmlns:velmaro=\"https://velmaro.org/xmlns/feed\" "
            "xmlns:update=\"https://velmaro.org/xmlns/update\">\n<channel><title>Velmaro</title>"
            "<link>https://velmaro.org</link>\n" +
            items.join('\n') + "\n</channel></rss>\n")
        .toUtf8();
}

const QString full = "velmaro:platform=\"" + here + "\" velmaro:programType=\"FULL\"";

const QByteArray installer = [] {
    QByteArray bytes;
    for (int i = 0; i < 300; ++i)
        bytes += "VELMARO-INSTALLER-" + QByteArray::number(i) + '\n';
    return bytes;
}();
// The installer's hash and both its checks, as enclosure attributes.
const QString sha256 =
    " sha256=\"" + QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex() + '"';
const QString rightChecks = QStringLiteral("length=\"%1\"").arg(installer.size()) + sha256;

void touch(const QString &path, const QByteArray &bytes = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class TestVuUpdater : public QObject
{
    Q_OBJECT

    QString folder() const { return VuUpdater::updateFolder(); }
    QStringList folderFiles() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden); }
    VuUpdateWindow *window() const { return VuUpdater::instance()->updateWindow(); }
    // Offers the installer with the given length and hash attributes, silently
    // unless the feed (0), the release notes (1) or the installer (2) never end.
    void offer(const QString &checks, int endless = -1)
    {
        const QString base = m_server->baseUrl() + "/downloads/setup/";
        QStringList never(3);
        if (endless >= 0)
            never[endless] = "?fault=endless";
        m_server->setStaticFile("/downloads/setup/test-feed.xml",
                                rss({item(full + ' ' + checks, base + "notes.html" + never[1],
                                          base + "velmaro-setup-2.8.bin" + never[2])}),
                                "application/rss+xml");
        check(endless < 0, base + "test-feed.xml" + never[0]);
    }
    // Starts a check and waits until the feed request is over.
    void check(bool silent, const QString &feed)
    {
        VuUpdater::instance()->setFeedURL(feed);
        QVERIFY(VuUpdater::instance()->CheckForUpdates(silent));
        QTRY_VERIFY_WITH_TIMEOUT(!VuUpdater::instance()->isChecking(), 10000);
    }
    void clickInstall()
    {
        QVERIFY(window());
        window()->findChild<QPushButton *>("installUpdateButton")->click();
    }

    DemoServer *m_server = nullptr;
    std::unique_ptr<MessageRecorder> m_boxes;
    QStringList m_started;
    QList<int> m_exits;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("t.a.l.v.e.n.");
        QCoreApplication::setOrganizationDomain("velmaro.org");
        QCoreApplication::setApplicationName("Velmaro");
        QCoreApplication::setApplicationVersion("2.7.2");
        DemoServer::Options options;
        options.quiet = true;
        m_server = new DemoServer(options, this);
        QVERIFY(m_server->listen(0) != 0);
        Seams::setProcessStarter([this](const QString &program, const QStringList &) {
            m_started << program;
            return true;
        });
        Seams::setExitHandler([this](int status) { m_exits << status; });
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
        m_server->setStaticFile("/downloads/setup/notes.html", "<h1>Velmaro 2.8</h1>", "text/html");
        m_server->setStaticFile("/downloads/setup/velmaro-setup-2.8.bin", installer,
                                "application/octet-stream");
        QSettings().remove(QLatin1String(VUIgnoredVersions::settingsKey));
        QFile::remove(folder()); // a planted link, else the folder
        QDir(folder()).removeRecursively();
        VuUpdater *updater = VuUpdater::instance();
        updater->setSkipAllowed(false);
        updater->setRemindLaterAllowed(true);
        updater->setHttpCredentials(QString(), QString());
        updater->setTransferTimeouts(30000, 300000);
        updater->setInstallerMaxBytes(1 << 16); // an endless installer ends soon
    }

    void cleanup()
    {
        if (VuUpdateWindow *w = window())
            w->close();
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<VuUpdateDownloadProgress *>(widget))
                widget->deleteLater();
        QTRY_VERIFY(!VuUpdater::instance()->isInstalling());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_boxes.reset();
    }

    // Feed snippets through the parser alone: what the last item yields and
    // whether it may be offered here.
    void feedParsing_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("suitable");
        QTest::addColumn<QString>("error");
        const QString platform = "velmaro:platform=\"" + here + "\" ",
                      type = " velmaro:programType=\"FULL\"";
        const auto row = [](const char *name, const QString &attributes, const QString &version,
                            bool suitable) {
            QTest::newRow(name) << rss({item(attributes)}) << 1 << version << suitable << QString();
        };
        row("FULL for here", full, "2.8", true);
        row("update:version wins", full + " update:version=\"2.9\"", "2.9", true);
        row("other platform", "velmaro:platform=\"Q_OS_NONE\"" + type, "", false);
        row("no platform", type, "", false);
        row("platform in lower case with blank",
            "velmaro:platform=\" " + here.toLower() + " \"" + type, "2.8", true);
        row("type full in lower case", platform + "velmaro:programType=\"full\"", "2.8", false);
        row("neither minimum nor type", platform, "2.8", false);
        row("minimum 2.8 passed over", full + " velmaro:minPrevVersion=\"2.8\"", "2.8", false);
        row("minimum 2.7.2 without type", platform + "velmaro:minPrevVersion=\"2.7.2\"", "2.8",
            true);
        const QByteArray two = rss({item(full), item(full)});
        const QByteArray cut = two.left(two.lastIndexOf("<item>"));
        QTest::newRow("two items") << two << 2 << "2.8" << true << QString();
        QTest::newRow("cut short is no error") << cut << 1 << "2.8" << true << QString();
        QTest::newRow("broken keeps the items before")
            << cut + "<item></channel>" << 1 << "2.8" << true << "Opening and ending tag mismatch.";
        QTest::newRow("empty") << QByteArray() << 0 << QString() << false << QString();
    }
    void feedParsing()
    {
        QFETCH(QByteArray, feed);
        QFETCH(int, items);
        const VuFeedParse parsed = VuFeed::parse(feed);
        QCOMPARE(parsed.items.size(), items);
        QTEST(parsed.error, "error");
        if (items > 0) {
            QTEST(parsed.items.last().version, "version");
            QTEST(VuFeed::isSuitable(parsed.items.last()), "suitable");
        }
    }

    // What a feed leads to, without the network: one box each, none when silent.
    void feedErrors_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QByteArray &feed, const char *message) {
            QTest::newRow(name) << feed << QString(message);
        };
        const char *notes = "Feed error: invalid \"release notes\" link",
                   *enclosure = "Feed error: invalid \"enclosure\" with the download link";
        row("parsing failed", "<rss><channel><item><title>x</channel></rss>",
            "Feed parsing failed: 1 ");
        row("release notes link ftp", rss({item(full, "ftp://127.0.0.1/notes.html")}), notes);
        row("release notes link empty", rss({item(full, QString())}),
            "Feed error: \"release notes\" link is empty");
        row("enclosure url not on the web",
            rss({item(full, "http://127.0.0.1:1/n.html", "file:///bin/sh")}), enclosure);
        row("enclosure hash malformed", rss({item(full + " sha256=\"abc123\"")}), enclosure);
        row("running version",
            rss({item(full).replace("velmaro:version=\"2.8\"", "velmaro:version=\"2.7.2\"")}),
            "No updates were found.");
    }
    void feedErrors()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, message);
        VuUpdater::instance()->handleFeed(feed, false);
        QCOMPARE(m_boxes->count(), 1);
        const Seams::MessageBoxRequest box = m_boxes->boxes().first();
        QVERIFY2(box.informativeText.startsWith(message), qPrintable(box.informativeText));
        const bool info = message.startsWith("No updates");
        QCOMPARE(box.icon, info ? QMessageBox::Information : QMessageBox::Critical);
        QVERIFY(!window());
        m_boxes->clear();
        VuUpdater::instance()->handleFeed(feed, true);
        QCOMPARE(m_boxes->count(), 0);
    }

    // The feed over the network: credentials, a hanging service, a redirect loop.
    void feedDownload_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QString>("message"); // empty: the offer opens
        const QString failed = "Feed download failed: ";
        QTest::newRow("right") << "geheim" << -1 << false << QString();
        QTest::newRow("wrong password") << "falsch" << -1 << false << failed;
        QTest::newRow("none") << QString() << -1 << false << failed;
        QTest::newRow("right, but the feed hangs")
            << "geheim" << int(DemoServer::Fault::Hang) << false << failed;
        QTest::newRow("redirect loop") << QString() << -1 << true << failed + "Too many redirects.";
    }
    void feedDownload()
    {
        QFETCH(QString, password);
        QFETCH(int, fault);
        QFETCH(bool, loop);
        QFETCH(QString, message);
        m_server->setOfferedVersion("2.8");
        m_server->setFeedCredentials("segler", "geheim");
        VuUpdater::instance()->setHttpCredentials(password.isEmpty() ? QString() : "segler",
                                                  password);
        if (fault >= 0) {
            m_server->setFault("feed", DemoServer::Fault(fault));
            VuUpdater::instance()->setTransferTimeouts(300, 300);
        }
        if (password == "falsch")
            QTest::ignoreMessage(QtWarningMsg, "Http authentication: Wrong credentials!");
        QHttpServer loops;
        loops.route("/loop/<arg>", [](int n) {
            QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
            response.setHeader("Location", "/loop/" + QByteArray::number(n + 1));
            return response;
        });
        const quint16 port = loops.listen(QHostAddress::LocalHost, 0);
        QVERIFY(port != 0);
        check(false, loop ? QStringLiteral("http://127.0.0.1:%1/loop/0").arg(port)
                          : m_server->baseUrl() + "/downloads/setup/velmaro.xml");
        QCOMPARE(window() != nullptr, message.isEmpty());
        QCOMPARE(m_boxes->count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY(m_boxes->boxes().first().informativeText.startsWith(message));
        if (loop) // the stored address names the last hop
            QCOMPARE(VuUpdater::instance()->feedURL().path(),
                     QStringLiteral("/loop/%1").arg(VuUpdater::maxFeedRedirects));
    }

    void installStartsCheckedInstaller()
    {
        // An installer left from an earlier attempt is replaced.
        QVERIFY(Platform::makePrivateFolder(folder()));
        const QString path = QDir(folder()).filePath("velmaro-setup-2.8.bin");
        touch(path, "old installer");
        offer(rightChecks);
        QSignalSpy started(VuUpdater::instance(), &VuUpdater::updatedFinishedSuccessfully);
        clickInstall();
        QCOMPARE(started.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_exits, QList<int>{0}, 10000);
        QCOMPARE(m_started, QStringList{path});
        QCOMPARE(m_boxes->count(), 1); // said before it closes
        QCOMPARE(m_boxes->boxes().first().text,
                 QStringLiteral("Das Update wird installiert; Velmaro wird dafür jetzt beendet."));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), installer);
        QVERIFY(file.permissions() & QFileDevice::ExeOwner);
        // A private folder holding the installer alone: no temporary leftovers.
        QCOMPARE(QFileInfo(folder()).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(folderFiles().size(), 1);
    }

    // A download that is not exactly the announced installer is never started.
    void installRefused_data()
    {
        QTest::addColumn<QString>("checks"); // empty: the demo feed, with a fault; "link"
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("endless"); // as offer() takes it
        const auto row = [](const char *name, const QString &checks, int fault = -1,
                            const char *message = "", int endless = -1) {
            QTest::newRow(name) << checks << fault << QString(message) << endless;
        };
        const auto length = [&](qsizetype n) { return QStringLiteral("length=\"%1\"").arg(n); };
        row("length too large", length(installer.size() + 1) + sha256);
        row("length too small", length(installer.size() - 1) + sha256);
        row("sha256 mismatch", length(installer.size()) + " sha256=\"" + QString(64, '1') + "\"");
        row("sha256 mismatch without length", "sha256=\"" + QString(64, '0') + "\"");
        row("tampered demo installer", QString()); // same size, other bytes: only the hash tells
        row("cut off", QString(), int(DemoServer::Fault::CutBody));
        row("timed out", QString(), int(DemoServer::Fault::Hang),
            "Das Update konnte nicht geladen werden");
        // Cancelled while the server drips: no box either.
        row("cancelled", QString(), int(DemoServer::Fault::Drip));
        // A link planted where the private folder goes is not followed.
        row("folder is a link", "link", -1, "kann nicht sicher benutzt werden");
        // Replies that never end are cut off at their cap and reported as failed.
        row("endless feed", sha256, -1, "Feed download failed: ", 0);
        row("endless release notes", sha256, -1, "RelNotes download failed: ", 1);
        row("endless installer without length", sha256, -1, "Das Update konnte nicht geladen", 2);
    }
    void installRefused()
    {
        QFETCH(QString, checks);
        QFETCH(int, fault);
        QFETCH(QString, message);
        QFETCH(int, endless);
        QTemporaryDir elsewhere(QDir::homePath() + "/planted-XXXXXX");
        if (checks == "link") {
            QVERIFY(QFile::link(elsewhere.path(), folder()));
            offer(rightChecks);
        } else if (checks.isEmpty()) {
            if (fault >= 0)
                m_server->setFault("installer", DemoServer::Fault(fault));
            m_server->setOfferedVersion("2.8");
            check(true, m_server->baseUrl() + "/downloads/setup/velmaro.xml");
            QVERIFY(window());
            const qint64 size = VuUpdater::instance()->proposedUpdate()->enclosureLength();
            QVERIFY(size > 0);
            if (fault < 0)
                m_server->setInstallerTamper(QByteArray(int(size), 'X'));
            if (fault == int(DemoServer::Fault::Hang))
                VuUpdater::instance()->setTransferTimeouts(30000, 300);
        } else {
            offer(checks, endless);
        }
        const int asked = m_server->requestCount("installer");
        if (endless < 0 || endless == 2)
            clickInstall();
        const bool cancel = fault == int(DemoServer::Fault::Drip);
        if (cancel) {
            QTRY_COMPARE(m_server->requestCount("installer"), asked + 1);
            QVERIFY(VuUpdater::instance()->isInstalling());
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *p = qobject_cast<VuUpdateDownloadProgress *>(widget); p && p->isVisible())
                    p->findChild<QPushButton *>("cancelButton")->click();
            QVERIFY(!VuUpdater::instance()->isInstalling());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!VuUpdater::instance()->isInstalling(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes->count(), cancel ? 0 : 1, 10000);
        if (!cancel) {
            QCOMPARE(m_boxes->boxes().first().icon, QMessageBox::Critical);
            const QString text = m_boxes->boxes().first().informativeText;
            QVERIFY2(endless >= 0 ? text.startsWith(message) : text.contains(message),
                     qPrintable(text));
        }
        QVERIFY(m_started.isEmpty() && m_exits.isEmpty());
        QVERIFY(folderFiles().isEmpty() && QDir(elsewhere.path()).isEmpty());
        if (checks == "link")
            QVERIFY(window()); // the offer stays open
    }

    // Where the installer may come from, given the feed's address and hash.
    void installerSource_data()
    {
        QTest::addColumn<QString>("feed");
        QTest::addColumn<QString>("installer");
        QTest::addColumn<bool>("sha256");
        QTest::addColumn<QString>("refusal"); // how the refusal begins; empty: allowed
        const auto row = [](const char *name, const char *feed, const char *to, bool hashed,
                            const char *refusal) {
            QTest::newRow(name) << feed << to << hashed << refusal;
        };
        const char *down = "Der Update-Feed kam verschl", *bare = "Das Update soll unverschl";
        row("https to https", "https://a/f.xml", "https://b/s.bin", false, "");
        row("https to http", "https://a/f.xml", "http://b/s.bin", true, down);
        row("https to http, no hash", "HTTPS://a/f", "http://b/s", false, down);
        row("http to https, no hash", "http://a/f", "https://b/s", false, "");
        row("http to http with hash", "http://a/f", "http://b/s", true, "");
        row("http to http, no hash", "http://a/f", "http://b/s", false, bare);
    }
    void installerSource()
    {
        QFETCH(QString, feed);
        QFETCH(QString, installer);
        QFETCH(bool, sha256);
        QFETCH(QString, refusal);
        const QString got = VuFeed::installerRefusal(QUrl(feed), QUrl(installer), sha256);
        QVERIFY2(refusal.isEmpty() ? got.isEmpty() : got.startsWith(refusal), qPrintable(got));
    }

    // Only *.oldversion files below the update folder or a named folder inside
    // the temporary location go; nothing reached through a link or outside.
    void removeOldVersionFiles()
    {
        const QString root = folder();
        QVERIFY(Platform::makePrivateFolder(root));
        for (const char *name :
             {"/a/b/x.oldversion", "/a/x.oldversion.txt", "/a/b/x.OLDVERSION", "/top.oldversion"})
            touch(root + name);
        QTemporaryDir outside(QDir::homePath() + "/outside-XXXXXX");
        touch(outside.path() + "/victim.oldversion");
        const QString temp = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        touch(temp + "/other-program/y.oldversion");
        QVERIFY(QFile::link(outside.path(), root + "/a/link"));
        VuUpdater::instance()->removeOldVersionFiles(QString());
        QVERIFY(!QFile::exists(root + "/a/b/x.oldversion"));
        QVERIFY(!QFile::exists(root + "/top.oldversion"));
        QVERIFY(QFile::exists(root + "/a/x.oldversion.txt"));
        QVERIFY(QFile::exists(root + "/a/b/x.OLDVERSION"));
        QVERIFY(QFile::exists(outside.path() + "/victim.oldversion"));
        QVERIFY(QFile::exists(temp + "/other-program/y.oldversion"));
        for (const QString &named :
             {outside.path(),
              temp + "/../" + QDir(temp + "/..").relativeFilePath(outside.path())}) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("outside the temporary folder"));
            VuUpdater::instance()->removeOldVersionFiles(named);
        }
        QVERIFY(QFile::exists(outside.path() + "/victim.oldversion"));
        VuUpdater::instance()->removeOldVersionFiles(temp + "/other-program");
        QVERIFY(!QFile::exists(temp + "/other-program/y.oldversion"));
    }

    // Markup from a server is shown as text: an image in it is never read, so
    // nothing grows by its size (a local device would never end).
    void serverMarkupStaysText()
    {
        QTemporaryDir dir;
        QImage(300, 300, QImage::Format_RGB32).save(dir.filePath("big.png"));
        const QString img =
            "<img src=\"" + QUrl::fromLocalFile(dir.filePath("big.png")).toString() + "\">";
        const QString notes = m_server->baseUrl() + "/downloads/setup/evil.html";
        m_server->setStaticFile("/downloads/setup/evil.html", ("<p>Neu</p>" + img).toUtf8(),
                                "text/html");
        m_server->setStaticFile(
            "/downloads/setup/evil.xml",
            rss({item(full + sha256, notes)
                     .replace("2.8</title>", "2.8 " + img.toHtmlEscaped() + "</title>")}),
            "application/rss+xml");
        check(true, m_server->baseUrl() + "/downloads/setup/evil.xml");
        QVERIFY(window());
        const QLabel *title = window()->findChild<QLabel *>("newVersionIsAvailableLabel");
        QVERIFY(title->text().contains(img));
        QVERIFY(title->sizeHint().height() < 100);
        const QTextBrowser *browser = window()->findChild<QTextBrowser *>();
        QTRY_VERIFY(browser->toPlainText().contains("Neu"));
        QVERIFY(browser->document()->size().height() < 150);
        m_boxes.reset(); // the real box, closed as soon as it shows
        int height = 0;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            height = box->findChild<QLabel *>("qt_msgbox_informativelabel")->sizeHint().height();
            box->accept();
        });
        Seams::MessageBoxRequest request;
        request.text = "Fehler";
        request.informativeText = img;
        Seams::showMessage(request);
        QVERIFY(height > 0 && height < 100);
    }
};

QTEST_MAIN(TestVuUpdater)
#include "tst_vuupdater.moc"
