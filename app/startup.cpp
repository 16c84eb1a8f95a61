#include "app/startup.h"

#include "platform/config.h"
#include "platform/identity.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "tracking/trackingclient.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"
#include "update/vuupdater.h"
#include "update/vuupdatewindow.h" // vuupdater.h needs it complete

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTranslator>

namespace Startup
{

void setIdentity()
{
    QCoreApplication::setApplicationName(
        QCoreApplication::translate("main", Identity::applicationName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Identity::version));
    QCoreApplication::setOrganizationName(QString::fromLatin1(Identity::organizationName));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(Identity::organizationDomain));
}

QString uiLanguage(const QSettings &settings, const QLocale &system)
{
    const QStringList known{QStringLiteral("de"), QStringLiteral("en")};
    for (const QString &chosen : {qEnvironmentVariable("VELMARO_LANGUAGE"),
                                  settings.value(QStringLiteral("language")).toString()}) {
        if (known.contains(chosen))
            return chosen;
    }
    return system.language() == QLocale::German ? known.first() : known.last();
}

bool installTranslators(const QString &language)
{
    auto install = [](const QString &name, const QString &folder) {
        auto *translator = new QTranslator(qApp);
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
        return false;
    };
    install(QStringLiteral("qtbase_") + language,
            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    // German texts are the sources themselves.
    return language != QLatin1String("de") &&
           install(QStringLiteral("velmaro_") + language, QStringLiteral(":/translations"));
}

QString updateFeedUrl()
{
    return Config::downloadUrl() + QStringLiteral("/downloads/setup/velmaro.xml");
}

void configureUpdater()
{
    VuUpdater *updater = VuUpdater::instance();
    updater->setFeedURL(updateFeedUrl());
    updater->setSkipAllowed(false);
    updater->setRemindLaterAllowed(true);
    updater->removeOldVersionFiles(QString());
}

QString prepareDataFolder()
{
    const QString folder = Paths::dataFolder();
    if (!Paths::ensureFolder(folder))
        qWarning().noquote() << "Cannot create the data folder" << folder;
    return folder;
}

QString loadStyleSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = file.readAll();
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

void applyStyleSheet()
{
    qApp->setStyleSheet(loadStyleSheet(Paths::asset(QStringLiteral("css/velmaro.qss"))));
}

DatabaseStatus openDatabase(const QString &path, const Database::StatementHook &hook)
{
    const Database::OpenResult opened = Database::open(path);
    bool usable = opened.ok;
    if (!opened.ok)
        qWarning().noquote() << "Cannot open database" << path << "-" << opened.error;
    else
        usable = Database::ensureSchema(opened.existed, hook) != Database::SchemaResult::Failed;

    if (!usable) {
        Database::close();
        Seams::critical(Database::cannotOpenTitle(),
                        Database::cannotOpenText(QDir::toNativeSeparators(path)),
                        QMessageBox::Cancel);
        return DatabaseStatus::CannotOpen;
    }
    Database::ensureIndexes();
    return DatabaseStatus::Ready;
}

std::unique_ptr<MainWindow> createMainWindow()
{
    return std::make_unique<MainWindow>();
}

void applyPanelState(MainWindow *window, const QSettings &settings)
{
    if (settings.value(QStringLiteral("splitterOpen"), false).toBool())
        window->toggleLegende();
    const int tab = settings.value(QStringLiteral("panelTab"), 0).toInt();
    if (tab >= 0 && tab < window->sidePanel()->count())
        window->sidePanel()->setCurrentIndex(tab);
}

void applyReplayMoment(MainWindow *window, const QSettings &settings)
{
    bool ok = false;
    const int moment = settings.value(QStringLiteral("sliderValue")).toInt(&ok);
    const QSlider *slider = window->timeSlider();
    if (ok && moment >= slider->minimum() && moment <= slider->maximum())
        window->setSliderValue(moment);
    // The fleet was fitted at the newest moment; the restored one may find it elsewhere.
    if (Regatta *regatta = window->regatta(); regatta && !regatta->fleetInView())
        regatta->showFleet();
}

void applyWindowGeometry(QWidget *window, const QSettings &settings)
{
    const QVariant geometry = settings.value(QStringLiteral("geomMainwindow"));
    if (!geometry.isValid())
        window->setGeometry(50, 50, 738, 664);
    else
        window->restoreGeometry(geometry.toByteArray());
}

StartRace startRace(const QSettings &settings)
{
    StartRace race;
    race.eventId = settings.value(QStringLiteral("eventId"), race.eventId).toInt();
    race.taskId = settings.value(QStringLiteral("taskId"), race.taskId).toInt();
    return race;
}

QString initialTitle()
{
    return QCoreApplication::translate("main", "%1 %2 Initialisierung")
        .arg(QString::fromLatin1(Identity::applicationName),
             QString::fromLatin1(Identity::version));
}

void checkForUpdatesAtStart(bool lookForUpdate)
{
    if (!lookForUpdate)
        return;
    VuUpdater::instance()->CheckForUpdatesSilent();
}

int run(int argc, char *argv[], const AfterStartHook &afterStart)
{
    QApplication app(argc, argv);
    setIdentity();
    configureUpdater();
    prepareDataFolder();
    applyStyleSheet();
    std::unique_ptr<QSettings> settings(Config::windowSettings());
    installTranslators(uiLanguage(*settings));

    if (openDatabase(Paths::databasePath()) != DatabaseStatus::Ready)
        return 1;

    std::unique_ptr<MainWindow> window = createMainWindow();
    applyWindowGeometry(window.get(), *settings);
    applyPanelState(window.get(), *settings);
    const StartRace race = startRace(*settings);
    window->setWindowTitle(initialTitle());
    QCoreApplication::processEvents();
    window->show();

    // Loads the race list and the preferences and selects the start race.
    auto regatta = std::make_unique<Regatta>(window.get(), race.eventId, race.taskId);
    applyReplayMoment(window.get(), *settings);
    if (const QString link = momentLinkArgument(app.arguments()); !link.isEmpty())
        openMomentLink(window.get(), link);
    checkForUpdatesAtStart(window->lookForUpdate());
    window->tracking()->checkVersion();
    if (afterStart)
        afterStart(window.get(), regatta.get());

    const int status = app.exec();
    regatta.reset();
    window.reset();
    Database::close();
    return status;
}

} // namespace Startup
