// Reading a sailor's own files and storing them as a race: 20 boats at one
// fix a second for 90 minutes (108,000 fixes) as one GPX file, next to a bare
// QXmlStreamReader pass over the same bytes (the floor), and one boat's NMEA
// log; then the store of all fixes in one transaction.
#include "benchresult.h"
#include "platform/seams.h"
#include "scene/gpxexport.h"
#include "store/database.h"
#include "tracking/trackimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>

namespace
{

constexpr int boats = 20;
constexpr int fixesPerBoat = 5400;
constexpr qint64 start = 1781953200; // 2026-06-20 11:00 UTC
constexpr int rounds = 5;

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

template <typename F> double timeMs(F f)
{
    QVector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

QByteArray nmeaLine(const QByteArray &body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return '$' + body + '*' + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &r) { return r.defaultButton; });

    Gpx::Document doc;
    for (int b = 0; b < boats; ++b) {
        Gpx::Track track{QStringLiteral("GER %1 \u2013 Boot %1").arg(b + 1), {}, "J/70", {}};
        for (int i = 0; i < fixesPerBoat; ++i)
            track.points.append({43.88 + i * 2e-6 + b * 1e-4, 15.40 - i * 2e-6, start + i});
        doc.tracks.append(track);
    }
    const QString gpxPath = dir.filePath(QStringLiteral("race.gpx"));
    Gpx::write(gpxPath, doc);
    QByteArray log;
    for (int i = 0; i < fixesPerBoat; ++i) {
        const int s = 11 * 3600 + i;
        log += nmeaLine(QString::asprintf("GPRMC,%02d%02d%02d.00,A,4352.%03d,N,01524.%03d,E,"
                                          "5.2,315.0,200626,,,A",
                                          s / 3600, s / 60 % 60, s % 60, i % 1000, i % 1000)
                            .toLatin1());
    }
    const QString nmeaPath = dir.filePath(QStringLiteral("plotter.nmea"));
    QFile nmeaFile(nmeaPath);
    if (!nmeaFile.open(QIODevice::WriteOnly) || nmeaFile.write(log) != log.size())
        return 1;
    nmeaFile.close();

    TrackImport::Batch batch;
    const double readMs = timeMs([&] { batch = TrackImport::readFiles({gpxPath}); });
    if (batch.anyRefused() || batch.boats().size() != boats)
        return std::fprintf(stderr, "the GPX file did not read back\n"), 1;
    const double floorMs = timeMs([&] {
        QFile file(gpxPath);
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&file);
        qint64 points = 0;
        while (!xml.atEnd())
            points += xml.readNext() == QXmlStreamReader::StartElement;
        return points;
    });
    const double nmeaMs = timeMs([&] { TrackImport::readFiles({nmeaPath}); });

    QVector<double> storeMs;
    for (int i = 0; i < rounds; ++i) {
        if (!Database::open(dir.filePath(QStringLiteral("v%1.db").arg(i))).ok ||
            Database::ensureSchema(false) == Database::SchemaResult::Failed)
            return 1;
        QElapsedTimer timer;
        timer.start();
        const ImportedRace::Result stored =
            TrackImport::storeRace(QStringLiteral("Bench"), batch.boats(), batch.marks());
        storeMs.append(timer.nsecsElapsed() / 1e6);
        Database::close();
        if (!stored.ok)
            return std::fprintf(stderr, "store failed: %s\n", qPrintable(stored.error)), 1;
    }
    const double store = median(storeMs);
    const double total = boats * fixesPerBoat;

    std::printf("read GPX %.1f ms (bare XML pass %.1f ms), NMEA %.1f ms, store %.1f ms\n", readMs,
                floorMs, nmeaMs, store);
    BenchResult::print("import: read GPX, 20 boats x 5400 fixes (108,000)", readMs, "ms",
                       "QXmlStreamReader alone over the same file", floorMs);
    BenchResult::print("import: read NMEA log, 5400 RMC sentences", nmeaMs, "ms",
                       "target: race opens in 1 s", 1000.0);
    BenchResult::print("import: store 108,000 fixes in one transaction", total / store * 1000.0,
                       "fixes/s");
    return 0;
}
