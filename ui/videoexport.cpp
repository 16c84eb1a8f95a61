#include "ui/videoexport.h"

#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "scene/boatlabels.h"
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "scene/videoencoder.h"
#include "scene/videoplan.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace
{

// The off-screen copy of the race: its own scene, map view, boats and gates.
// Boats and gates go before the scene, which would delete them a second time.
struct Stage {
    Scheme scene;
    std::unique_ptr<Karte> karte;
    QList<Ship *> ships;
    QList<GateItem *> gates;

    explicit Stage(const VideoExport::Request &request) : karte(std::make_unique<Karte>(&scene))
    {
        karte->setAttribute(Qt::WA_DontShowOnScreen);
        karte->resize(request.size);
        TileLoader *const layers[] = {karte->tileLoader(), karte->seamarkLoader()};
        const QString servers[] = {request.tileServer, request.seamarkServer};
        const QString caches[] = {request.tileCache, request.seamarkCache};
        for (int i = 0; i < 2; ++i) {
            if (!servers[i].isEmpty())
                layers[i]->setTileServer(servers[i]);
            if (!caches[i].isEmpty())
                layers[i]->setCacheFolder(caches[i]);
        }
        karte->setDownloadEnabled(request.loadMaps);
        karte->setSeamarksShown(request.seamarks);
        karte->setCenterGeo(request.centre);
        karte->setZoomLevel(request.zoom);
        karte->show();

        gates = buildCourse(request.eventId, request.taskId);
        placeGates(gates, karte->projection(), &scene);
        QList<ProjectedItem *> projected;
        for (GateItem *gate : std::as_const(gates))
            projected.append(gate);
        karte->setGateItems(projected);

        ShipLoader loader;
        ships = loader.loadShips(request.eventId);
        for (Ship *ship : std::as_const(ships)) {
            ship->setCompleteTrack(request.completeTracks);
            ship->setSailNumberLabel(request.sailNumbers);
            ship->setHasPositions(loader.loadTrack(ship));
        }
        placeShips(ships, karte->projection(), &scene);
        QObject::connect(karte.get(), &Karte::projectionChanged, karte.get(),
                         [this](const MapProjection &projection) {
                             for (Ship *ship : std::as_const(ships))
                                 ship->updateGeometry(projection);
                             BoatLabels::thinOut(ships);
                         });
    }
    ~Stage()
    {
        karte->setGateItems({});
        qDeleteAll(ships);
        qDeleteAll(gates);
        karte.reset();
    }
    Q_DISABLE_COPY(Stage)

    QVector<GeoPoint> placedPositions() const
    {
        QVector<GeoPoint> points;
        for (const Ship *ship : std::as_const(ships))
            if (ship->isShown() && ship->hasPositions() && ship->currentPoint())
                points.append(ship->currentPoint()->position);
        return points;
    }

    bool fleetInside() const
    {
        const MapProjection &projection = karte->projection();
        const QRect view(0, 0, karte->width(), karte->height());
        const QVector<GeoPoint> points = placedPositions();
        return std::all_of(points.begin(), points.end(), [&](const GeoPoint &p) {
            return view.contains(projection.geoToView(p));
        });
    }

    void fitFleet()
    {
        const QVector<GeoPoint> points = placedPositions();
        const Geo::ViewFit fit =
            Geo::fitView(points, karte->width(), karte->height(), 40, Karte::minZoom, 14);
        if (fit.valid) {
            karte->setCenterGeo(fit.centre);
            karte->setZoomLevel(fit.zoom);
        }
    }

    bool tilesPending() const
    {
        for (const TileLoader *loader : {karte->tileLoader(), karte->seamarkLoader()})
            if (loader->openRequests() + loader->queuedRequests() > 0)
                return true;
        return false;
    }

    // Until every tile of the frame is in or failed, or ms passed.
    void waitForTiles(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (tilesPending() && clock.elapsed() < ms) {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            QObject::connect(karte->tileLoader(), &TileLoader::transferFinished, &loop,
                             &QEventLoop::quit);
            QObject::connect(karte->seamarkLoader(), &TileLoader::transferFinished, &loop,
                             &QEventLoop::quit);
            loop.exec(); // the progress dialog's cancel button stays live
        }
    }

    QImage render()
    {
        // Logical pixels at ratio 1, as the JPEG frames: the same size on every screen.
        QImage image(karte->size(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1.0);
        image.fill(Qt::white);
        QPainter painter(&image);
        karte->render(&painter, QRectF(image.rect()), karte->rect(), Qt::IgnoreAspectRatio);
        return image;
    }
};

} // namespace

void VideoExport::drawCaption(QPainter *painter, const QSize &frame, const QString &raceName,
                              qint64 moment)
{
    const QString time =
        QDateTime::fromSecsSinceEpoch(moment).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss t"));
    const QString text = raceName.isEmpty() ? time : raceName + QLatin1Char('\n') + time;
    painter->save();
    QFont font = painter->font();
    font.setBold(true);
    font.setPixelSize(std::max(9, frame.height() / 36));
    painter->setFont(font);
    const int margin = std::max(2, frame.height() / 90);
    const QRect bounds =
        painter->fontMetrics().boundingRect(QRect(0, 0, frame.width() - 4 * margin, frame.height()),
                                            Qt::AlignLeft | Qt::TextWordWrap, text);
    const QRect box = bounds.adjusted(0, 0, 2 * margin, 2 * margin).translated(margin, margin);
    painter->fillRect(box, QColor(255, 255, 255, 200));
    painter->setPen(QColor(20, 20, 20));
    painter->drawText(box.adjusted(margin, margin, -margin, -margin),
                      Qt::AlignLeft | Qt::TextWordWrap, text);
    painter->restore();
}

VideoExport::Outcome VideoExport::write(const Request &request, const QString &path,
                                        const Progress &progress)
{
    m_error.clear();
    const VideoPlan plan(request.from, request.to, request.speed);
    if (plan.problem() != VideoPlan::Problem::None) {
        m_error = tr("Zeitraum oder Tempo passen nicht für ein Video.");
        return Outcome::Failed;
    }
    Request sized = request;
    sized.size = VideoEncoder::evenSize(request.size);
    Stage stage(sized);
    if (std::none_of(stage.ships.begin(), stage.ships.end(),
                     [](const Ship *ship) { return ship->hasPositions(); })) {
        m_error = tr("Die Regatta hat keine gespeicherten Positionen.");
        return Outcome::Failed;
    }
    VideoEncoder encoder;
    if (!encoder.open(path, sized.size)) {
        m_error = encoder.error();
        return Outcome::Failed;
    }
    const int total = plan.frameCount();
    for (int i = 0; i < total; ++i) {
        const int t = int(plan.momentAt(i));
        if (const std::optional<GeoPoint> centre = showShipsAt(stage.ships, t))
            stage.karte->setCenterGeo(*centre);
        else if (request.fitFleet && (i == 0 || !stage.fleetInside()))
            stage.fitFleet(); // again whenever a boat sails out of the picture
        stage.karte->relayout();
        stage.waitForTiles(m_tileWaitMs);
        QImage image = stage.render();
        {
            QPainter painter(&image);
            drawCaption(&painter, image.size(), request.raceName, t);
        }
        if (!encoder.addFrame(image)) {
            m_error = encoder.error();
            return Outcome::Failed;
        }
        if (progress && !progress(i + 1, total)) {
            encoder.cancel();
            return Outcome::Cancelled;
        }
    }
    if (!encoder.finish()) {
        m_error = encoder.error();
        return Outcome::Failed;
    }
    return Outcome::Written;
}
