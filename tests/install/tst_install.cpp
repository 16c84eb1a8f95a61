// Installs the build into a temporary prefix with cmake --install and checks
// what a packager and a desktop rely on: the layout, the desktop entry and
// its icon, and that the installed program finds its assets from any
// working directory.
#include "childprogram.h"
#include "demoserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QStringList assetFolders = {QStringLiteral("css"), QStringLiteral("img"),
                                  QStringLiteral("sprites")};

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void layout_data();
    void layout();
    void assetsMatchSource();
    void desktopEntryNamesInstalledProgramAndIcon();
    void assetLookup_data();
    void assetLookup();
    void installedProgramRunsFromForeignFolder();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }
    QStringList probe(const QString &program, const QString &cwd, const QStringList &assets);

    QTemporaryDir m_prefix;
    QString m_source;
    QString m_probe; // the probe copied into the installed bin/
};

void TestInstall::initTestCase()
{
    m_source = qEnvironmentVariable("VELMARO_SOURCE_DIR");
    const QString binaryDir = qEnvironmentVariable("VELMARO_BINARY_DIR");
    if (m_source.isEmpty() || binaryDir.isEmpty())
        QSKIP("VELMARO_SOURCE_DIR and VELMARO_BINARY_DIR name the trees; run through CTest");
    QVERIFY(m_prefix.isValid());

    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(
        QStringLiteral(VELMARO_CMAKE_COMMAND),
        {QStringLiteral("--install"), binaryDir, QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    const QByteArray output = install.readAll();
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             output.constData());

    m_probe = installed(QStringLiteral("bin/velmaro-asset-probe"));
    QVERIFY(
        QFile::copy(ChildProgram::buildProgram(QStringLiteral("velmaro-asset-probe")), m_probe));
}

void TestInstall::layout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << "bin/velmaro" << true;
    QTest::newRow("desktop entry") << "share/applications/velmaro.desktop" << false;
    QTest::newRow("icon") << "share/icons/hicolor/64x64/apps/velmaro.png" << false;
    QTest::newRow("style sheet") << "share/velmaro/css/velmaro.qss" << false;
    QTest::newRow("sprite strip") << "share/velmaro/sprites/shipstrip.png" << false;
    for (const char *icon :
         {"playbutton", "pausebutton", "loadicon", "loadicon_auto", "idleicon", "idleicon_auto"}) {
        const QString path = QStringLiteral("share/velmaro/img/%1.png").arg(QLatin1String(icon));
        QTest::newRow(icon) << path << false;
    }
}

void TestInstall::layout()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo info(installed(path));
    QVERIFY2(info.isFile(), qPrintable(path));
    QVERIFY(info.size() > 0);
    QCOMPARE(info.isExecutable(), executable);
}

void TestInstall::assetsMatchSource()
{
    int files = 0;
    for (const QString &folder : assetFolders) {
        const QDir source(QDir(m_source).filePath(folder));
        if (!source.exists())
            continue;
        QDirIterator it(source.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString relative = folder + QLatin1Char('/') + source.relativeFilePath(file);
            const QString copy = installed(QStringLiteral("share/velmaro/") + relative);
            QVERIFY2(QFileInfo::exists(copy), qPrintable(relative));
            QCOMPARE(digest(copy), digest(file));
            ++files;
        }
    }
    QVERIFY(files > 0);
}

void TestInstall::desktopEntryNamesInstalledProgramAndIcon()
{
    const QString path = installed(QStringLiteral("share/applications/velmaro.desktop"));
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Name")).toString(), QStringLiteral("Velmaro"));
    // Exec is looked up in PATH, which holds the installed bin/.
    const QString exec = entry.value(QStringLiteral("Exec")).toString().section(u' ', 0, 0);
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + exec)).isExecutable());
    // A themed icon in the wrong size folder is scaled badly or not found.
    const QImage icon(installed(QStringLiteral("share/icons/hicolor/64x64/apps/%1.png")
                                    .arg(entry.value(QStringLiteral("Icon")).toString())));
    QCOMPARE(icon.size(), QSize(64, 64));

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        qInfo("desktop-file-validate not installed: the entry is checked by its keys only");
        return;
    }
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {path});
    QVERIFY(validate.waitForFinished(30000));
    const QByteArray complaints = validate.readAll();
    QVERIFY2(validate.exitCode() == 0 && complaints.trimmed().isEmpty(), complaints.constData());
}

QStringList TestInstall::probe(const QString &program, const QString &cwd,
                               const QStringList &assets)
{
    QProcess process;
    process.setWorkingDirectory(cwd);
    process.start(program, assets);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = QFileInfo(line).canonicalFilePath();
    return lines;
}

void TestInstall::assetLookup_data()
{
    QTest::addColumn<QString>("asset");
    QTest::newRow("style sheet") << "css/velmaro.qss";
    QTest::newRow("sprite strip") << "sprites/shipstrip.png";
    QTest::newRow("button icon") << "img/playbutton.png";
}

void TestInstall::assetLookup()
{
    QFETCH(QString, asset);
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());

    // From a folder without assets, the installed copy in share/velmaro.
    const QString shared =
        QFileInfo(installed(QStringLiteral("share/velmaro/") + asset)).canonicalFilePath();
    QVERIFY(!shared.isEmpty());
    QCOMPARE(probe(m_probe, elsewhere.path(), {asset}), QStringList{shared});

    // The build tree's copy beside the executable.
    const QString buildProbe = ChildProgram::buildProgram(QStringLiteral("velmaro-asset-probe"));
    const QString beside =
        QFileInfo(QFileInfo(buildProbe).dir().filePath(asset)).canonicalFilePath();
    QVERIFY(!beside.isEmpty());
    QCOMPARE(probe(buildProbe, elsewhere.path(), {asset}), QStringList{beside});

    // A copy in the working directory comes first.
    QVERIFY(QDir(elsewhere.path()).mkpath(QFileInfo(asset).path()));
    const QString local = QDir(elsewhere.path()).filePath(asset);
    QVERIFY(QFile::copy(shared, local));
    QCOMPARE(probe(m_probe, elsewhere.path(), {asset}),
             QStringList{QFileInfo(local).canonicalFilePath()});
}

void TestInstall::installedProgramRunsFromForeignFolder()
{
    DemoServer::Options options;
    options.quiet = true;
    options.boatsPerRace = 2;
    DemoServer server(options);
    QVERIFY(server.listen(0) != 0);

    ChildProgram program;
    QVERIFY(program.isValid());
    for (const char *name : {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
        program.setEnv(QString::fromLatin1(name), server.baseUrl());
    QVERIFY(program.start(installed(QStringLiteral("bin/velmaro"))));
    // The database notice comes first, then the window; the program keeps running.
    QTRY_VERIFY_WITH_TIMEOUT(!program.boxLines().isEmpty(), 30000);
    QVERIFY(
        program.boxLines().first().startsWith(QStringLiteral("Information\tInitialisierung...")));
    QTRY_VERIFY_WITH_TIMEOUT(server.requestCount(QStringLiteral("getBoats")) > 0 ||
                                 server.requestCount(QStringLiteral("isup")) > 0,
                             30000);
    QCOMPARE(program.process().state(), QProcess::Running);
    QVERIFY(QFileInfo::exists(program.databasePath()));
    QVERIFY(program.stop());
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
