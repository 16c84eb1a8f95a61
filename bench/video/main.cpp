// Times the video export: encoding prepared 1920 x 1080 frames alone, then
// whole exports of a generated race (20 boats, a fix a second for an hour,
// no tiles) at 1920 x 1080 and 640 x 360, where each frame is placed, drawn
// off screen and encoded. Every figure is held against real time: 30 frames
// a second, 33.3 ms a frame.
// Usage: bench_video [frames]

#include "benchresult.h"
#include "map/geo.h"
#include "platform/seams.h"
#include "scene/videoencoder.h"
#include "store/boatstore.h"
#include "store/database.h"
#include "store/fixwriter.h"
#include "store/transaction.h"
#include "ui/videoexport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace
{

constexpr int eventId = 21;
constexpr int taskId = 120;
constexpr int start = 1302905280;
constexpr int boats = 20;
constexpr int seconds = 3600;
constexpr double realTimeMs = 1000.0 / VideoEncoder::framesPerSecond;

// Boats on parallel beats south to north, tacking every five minutes.
bool generate()
{
    if (Database::ensureSchema(false) != Database::SchemaResult::Created)
        return false;
    Transaction transaction;
    if (!transaction.isOpen())
        return false;
    for (int b = 1; b <= boats; ++b) {
        BoatRow boat;
        boat.id = b;
        boat.regattaId = eventId;
        boat.name = QStringLiteral("Boot %1").arg(b);
        boat.startnr = QString::number(b);
        boat.farbe = QColor::fromHsv(b * 17 % 360, 220, 230).name();
        FixWriter writer(b, eventId);
        if (!BoatStore::insertBoat(boat) || !writer.prepare())
            return false;
        GeoPoint at(43.80, 15.20 + 0.004 * b);
        for (int t = 0; t < seconds; ++t) {
            const double heading = (t / 300) % 2 ? 315.0 : 45.0;
            at = Geo::destinationPoint(at, 0.003 + 0.0001 * b, heading);
            if (!writer.insert(at.lat(), at.lng(), start + t))
                return false;
        }
    }
    return transaction.commit() && Database::ensureIndexes();
}

double encodeMs(int frames, const QString &path)
{
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(170, 211, 223));
    VideoEncoder encoder;
    if (!encoder.open(path, image.size()))
        return std::nan("");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i) {
        QPainter painter(&image);
        painter.fillRect(QRect(i * 7 % 1800, 500, 120, 40), QColor::fromHsv(i % 360, 200, 200));
        painter.end();
        if (!encoder.addFrame(image))
            return std::nan("");
    }
    return encoder.finish() ? timer.nsecsElapsed() / 1e6 / frames : std::nan("");
}

double exportMs(int frames, const QSize &size, const QString &path)
{
    VideoExport::Request request;
    request.eventId = eventId;
    request.taskId = taskId;
    request.raceName = QStringLiteral("Benchmark");
    request.from = start + 600;
    request.to = start + 600 + frames * 2; // 60 race seconds per video second
    request.speed = 60;
    request.size = size;
    request.fitFleet = true;
    request.loadMaps = false;
    VideoExport video;
    QElapsedTimer timer;
    timer.start();
    int done = 0;
    const VideoExport::Outcome outcome = video.write(request, path, [&done](int frame, int) {
        done = frame;
        return true;
    });
    if (outcome != VideoExport::Outcome::Written || done == 0) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(video.error()));
        return std::nan("");
    }
    return timer.nsecsElapsed() / 1e6 / done;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The notice of the new database would wait for a click.
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &) { return QMessageBox::Ok; });
    const int frames = argc > 1 ? std::max(30, std::atoi(argv[1])) : 150;
    QTemporaryDir dir;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(dir.filePath(QStringLiteral("bench.db")));
        if (!db.open() || !generate()) {
            std::fprintf(stderr, "cannot build the race database\n");
            return 1;
        }
    }
    const char *target = "target: real time, 30 frames/s";
    const double encode = encodeMs(frames, dir.filePath(QStringLiteral("encode.mp4")));
    std::printf("encoding 1920x1080: %.1f ms a frame\n", encode);
    BenchResult::print("video encode 1920x1080, per frame", encode, "ms", target, realTimeMs);
    const double full = exportMs(frames, QSize(1920, 1080), dir.filePath(QStringLiteral("a.mp4")));
    std::printf("export 1920x1080, %d boats: %.1f ms a frame\n", boats, full);
    BenchResult::print("video export 1920x1080, per frame (20 boats)", full, "ms", target,
                       realTimeMs);
    const double small = exportMs(frames, QSize(640, 360), dir.filePath(QStringLiteral("b.mp4")));
    std::printf("export 640x360, %d boats: %.1f ms a frame\n", boats, small);
    BenchResult::print("video export 640x360, per frame (20 boats)", small, "ms", target,
                       realTimeMs);
    return std::isnan(encode) || std::isnan(full) || std::isnan(small) ? 1 : 0;
}
