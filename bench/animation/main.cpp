// Animation ticks per second of the main window with 100 boats, first with
// frame capture off, then on (JPEG quality 95 of a 1920 x 1080 map view).
// Runs offscreen in a temporary folder; prints its figures.

#include "database.h"
#include "karte.h"
#include "mainwindow.h"
#include "regatta.h"
#include "seams.h"
#include "trackingclient.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSlider>
#include <QSplitter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
constexpr int boats = 100;
constexpr int fixesPerBoat = 720; // one per minute for twelve hours
constexpr int raceStart = 1270458000;

bool fillRace()
{
    QSqlDatabase db = QSqlDatabase::database();
    db.transaction();
    QSqlQuery ship;
    ship.prepare(QStringLiteral(
        "INSERT INTO ship (id, regatta_id, name, skipper, team, klasse, startnr, farbe, "
        "lastget, show, follow) VALUES (:id, 10, :name, 'S', 'T', :klasse, :nr, :farbe, 0, "
        "'true', :follow)"));
    QSqlQuery fix;
    fix.prepare(QStringLiteral("INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) "
                               "VALUES (:id, 10, :t, :lat, :lng)"));
    // Ids from 101: the loader leaves boat 38 out. The map follows the first.
    for (int b = 101; b < 101 + boats; ++b) {
        ship.bindValue(QStringLiteral(":id"), b);
        ship.bindValue(QStringLiteral(":follow"),
                       b == 101 ? QStringLiteral("true") : QStringLiteral("false"));
        ship.bindValue(QStringLiteral(":name"), QStringLiteral("Boot %1").arg(b));
        ship.bindValue(QStringLiteral(":klasse"), QStringLiteral("ORC %1").arg(b % 4));
        ship.bindValue(QStringLiteral(":nr"), QStringLiteral("%1").arg(b, 3, 10, QLatin1Char('0')));
        ship.bindValue(QStringLiteral(":farbe"),
                       QStringLiteral("#%1").arg(b * 0x2a3b1 & 0xffffff, 6, 16, QLatin1Char('0')));
        if (!ship.exec())
            return false;
        for (int k = 0; k < fixesPerBoat; ++k) {
            fix.bindValue(QStringLiteral(":id"), b);
            fix.bindValue(QStringLiteral(":t"), raceStart + 60 * k);
            fix.bindValue(QStringLiteral(":lat"),
                          43.98 - k * 0.0012 + 0.002 * std::sin(b + k * 0.1));
            fix.bindValue(QStringLiteral(":lng"), 15.36 + k * 0.0009 + b * 0.0004);
            if (!fix.exec())
                return false;
        }
    }
    return db.commit();
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

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("velmaro.db")));
    if (!db.open() || Database::ensureSchema(false) != Database::SchemaResult::Created ||
        !fillRace()) {
        std::fprintf(stderr, "cannot prepare the database\n");
        return 1;
    }
    QSqlQuery(QStringLiteral("UPDATE prefs SET loadmaps=0, autoload=0"));

    int status = 0;
    {
        MainWindow window;
        window.tracking()->setBaseUrl(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileServer(QStringLiteral("http://127.0.0.1:1"));
        window.karte()->setTileCacheFolder(QDir(dir.path()).filePath(QStringLiteral("maps")));
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

        window.captureOnOff();
        const double captured = run(window, 60);
        window.captureOnOff();
        std::printf("capture on:  %.1f ticks/s (%.2f ms per tick, %.2f ms of it for the frame)\n",
                    captured, 1000.0 / captured, 1000.0 / captured - 1000.0 / plain);
        const int frames = int(QDir(QStringLiteral("movie")).entryList(QDir::Files).size());
        std::printf("frames written: %d\n", frames);
        if (frames < 60)
            status = 1;
    }
    db.close();
    return status;
}
