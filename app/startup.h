#ifndef VELMARO_APP_STARTUP_H
#define VELMARO_APP_STARTUP_H

#include "store/database.h"
#include "ui/mainwindow.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>

class QSettings;
class QWidget;
class Regatta;

// The program's start-up, in the order it happens, as small steps that tests
// can run one by one inside their own process.
namespace Startup
{

// The race selected when the settings name none: the first seeded race.
struct StartRace {
    int eventId = 10;
    int taskId = 88;
};

enum class DatabaseStatus { Ready, CannotOpen };

// Application name (translated in context "main"), version, organization
// name and domain, in that order. Needs the application object.
void setIdentity();

// The interface language, "de" or "en": VELMARO_LANGUAGE, else the settings
// key `language`, else German when the system locale is German and English
// for any other. Unknown values count as not set.
QString uiLanguage(const QSettings &settings, const QLocale &system = QLocale::system());
// Installs Qt's own translation (qtbase_<language>.qm, when present) and, but
// for German, the source language, the program's embedded one. Returns
// whether the program's translation was installed.
bool installTranslators(const QString &language);

// Where the updater looks for its feed.
QString updateFeedUrl();
// Updater set-up before anything else runs; no network activity.
void configureUpdater();

// The per-user data folder, created when missing. Start-up goes on when it
// cannot be created (the database step reports it).
QString prepareDataFolder();

// The style sheet's text up to the first NUL byte; empty when the file is
// missing or unreadable.
QString loadStyleSheet(const QString &path);
// Installs css/velmaro.qss (found like every asset) as the application style sheet.
void applyStyleSheet();

// Opens the database at path, creates or migrates its schema and its
// indexes. When the file cannot be used it shows the critical
// "Cannot open database" box naming the file, removes the connection and
// returns CannotOpen; the program then ends with status 1.
DatabaseStatus openDatabase(const QString &path, const Database::StatementHook &hook = {});

// The main window, not yet shown.
std::unique_ptr<MainWindow> createMainWindow();

// Stored geometry (`geomMainwindow`), or 50,50 738x664 when there is none.
void applyWindowGeometry(QWidget *window, const QSettings &settings);
// Opens the side panel once when `splitterOpen` is stored as true, and shows
// the tab stored as `panelTab`.
void applyPanelState(MainWindow *window, const QSettings &settings);
// Once the start race is loaded: the slider at the moment stored as
// `sliderValue` when it lies within the race, else where loading left it.
void applyReplayMoment(MainWindow *window, const QSettings &settings);
// `eventId` and `taskId` from the settings, defaults 10 and 88.
StartRace startRace(const QSettings &settings);
// "Velmaro <version> Initialisierung"; selecting a race replaces it.
QString initialTitle();

// The silent update check, when the preference `lookforupdate` is on.
void checkForUpdatesAtStart(bool lookForUpdate);

// The first velmaro: link among the program's arguments; empty when none.
QString momentLinkArgument(const QStringList &arguments);
// Shows the link's race at its moment. A malformed link or a race that is
// not known gets a box naming the reason, and the window stays as it is.
bool openMomentLink(MainWindow *window, const QString &link);

// Called once the window is shown and the start race is selected, just
// before the event loop; the program itself passes none (test drivers do).
using AfterStartHook = std::function<void(MainWindow *, Regatta *)>;

// The whole program. Returns the process exit status.
int run(int argc, char *argv[], const AfterStartHook &afterStart = {});

} // namespace Startup

#endif
