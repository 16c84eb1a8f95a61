// Animation ticks per second of the main window with 100 boats, first with
// frame capture off, then on (JPEG quality 95 of a 1920 x 1080 map view).
// Runs offscreen in a temporary folder, the map drawn from a disk cache of
// synthetic tiles; prints its figures. Ticks are held against the animation
// timer (one tick every 30 ms), capture on against capture off.

#include "benchresult.h"
#include "benchtiles.h"
#include "map/geo.h"
#include "map/karte.h"
#include "platform/seams.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/preferences.h"
#include "store/transaction.h"
#include "tracking/trackingclient.h"
#include "ui/mainwindow.h"
#include "ui/regatta.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QSplitter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
constexpr int boats = 100;
constexpr int fixesPerBoat = 720; // one per minute for twelve hours
constexpr int raceStart = 1270458000;
constexpr double timerMs = 30.0; // the window's animation timer

// Tiles for everything the followed boat passes, with a view's width around it.
void writeTiles(const QString &cache, int zoom)
{
    const double n = double(1 << zoom);
    const QPoint northWest = Geo::tileIndexAt(44.1, 15.2, n);
    const QPoint southEast = Geo::tileIndexAt(43.0, 16.2, n);
    const QRect tiles = QRect(northWest, southEast).adjusted(-5, -3, 5, 3);
    const BenchTiles::CacheFigures written = BenchTiles::writeCache(cache, zoom, tiles);
    std::printf("disk cache: %d tiles at zoom %d\n", written.files, zoom);
}

bool fillRace()
{
    Transaction transaction;
    // Ids from 101: the loader leaves boat 38 out. The map follows the first.
    for (int b = 101; b < 101 + boats; ++b) {
        BoatRow boat;
        boat.id = b;
        boat.regattaId = 10;
        boat.name = QStringLiteral("Boot %1").arg(b);
        boat.skipper = QStringLiteral("S");
        boat.team = QStringLiteral("T");
        boat.klasse = QStringLiteral("ORC %1").arg(b % 4);
        boat.startnr = QStringLiteral("%1").arg(b, 3, 10, QLatin1Char('0'));
        boat.farbe = QStringLiteral("#%1").arg(b * 0x2a3b1 & 0xffffff, 6, 16, QLatin1Char('0'));
        boat.follow = b == 101;
        if (!BoatStore::insertBoat(boat))
            return false;
        FixWriter writer(b, 10);
        if (!writer.prepare())
            return false;
        for (int k = 0; k < fixesPerBoat; ++k) {
            if (!writer.insert(43.98 - k * 0.0012 + 0.002 * std::sin(b + k * 0.1),
                               15.36 + k * 0.0009 + b * 0.0004, raceStart + 60 * k))
                return false;
        }
    }
    return transaction.commit();
}

// Ticks from the slider minimum, each with its repaint; returns ticks per second.
double run(MainWindow &window, int ticks)
{
    window.setSliderValue(window.timeSlider()->minimum());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < ticks; ++i) {
        window.advanceFrame();
        // the repaint the tick asked for, as the event loop would run it
        QCoreApplication::processEvents();
    }
    return ticks * 1000.0 / double(qMax<qint64>(1, clock.elapsed()));
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });

    if (!Database::open(QDir(dir.path()).filePath(QStringLiteral("velmaro.db"))).ok ||
        Database::ensureSchema(false) != Database::SchemaResult::Created || !fillRace()) {
        std::fprintf(stderr, "cannot prepare the database\n");
        return 1;
    }
    Preferences::set(Pref::LoadMaps, false);
    Preferences::set(Pref::Autoload, false);

    int status = 0;
    {
        MainWindow window;
        window.tracking()->setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileServer(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileCacheFolder(QDir(dir.path()).filePath(QStringLiteral("maps")));
        writeTiles(QDir(dir.path()).filePath(QStringLiteral("maps")), window.karte()->zoom());
        window.show();
        Regatta regatta(&window, 10, 88);
        // a 1920 x 1080 map view
        window.resize(1920 + 40, 1080 + 160);
        QCoreApplication::processEvents();
        const QSize extra = QSize(1920, 1080) - window.karte()->size();
        window.resize(window.size() + extra);
        QCoreApplication::processEvents();
        window.karte()->relayout();

        std::printf("boats %lld, fixes per boat %d, map view %dx%d\n",
                    qlonglong(regatta.ships().size()), fixesPerBoat, window.karte()->width(),
                    window.karte()->height());
        run(window, 20); // warm-up
        const double plain = run(window, 400);
        std::printf("capture off: %.1f ticks/s (%.2f ms per tick)\n", plain, 1000.0 / plain);
        BenchResult::print("animation: ticks per second, 100 boats, capture off", plain, "ticks/s",
                           "target: animation timer, 30 ms", 1000.0 / timerMs);

        window.captureOnOff();
        const double captured = run(window, 60);
        window.captureOnOff();
        std::printf("capture on:  %.1f ticks/s (%.2f ms per tick, %.2f ms of it for the frame)\n",
                    captured, 1000.0 / captured, 1000.0 / captured - 1000.0 / plain);
        BenchResult::print("animation: ticks per second, capture on (JPEG 95, 1920x1080)", captured,
                           "ticks/s", "the same with capture off", plain);
        BenchResult::print("animation: capture cost per frame (JPEG 95, 1920x1080)",
                           1000.0 / captured - 1000.0 / plain, "ms",
                           "target: animation timer, 30 ms", timerMs);
        const int frames = int(QDir(QStringLiteral("movie")).entryList(QDir::Files).size());
        std::printf("frames written: %d\n", frames);
        if (qEnvironmentVariableIsSet("BENCH_ANIMATION_SAVE")) {
            const QStringList names = QDir(QStringLiteral("movie")).entryList(QDir::Files);
            if (!names.isEmpty())
                QFile::copy(QDir(QStringLiteral("movie")).filePath(names.last()),
                            qEnvironmentVariable("BENCH_ANIMATION_SAVE"));
        }
        if (frames < 60)
            status = 1;
    }
    Database::close();
    return status;
}
