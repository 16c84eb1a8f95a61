// Track lines as drawn: the level of detail of a real 1 Hz track against its
// raw line at several zooms and while fixes arrive, outliers, gaps and boats
// that stopped reporting.
#include "demoserver.h"
#include "scene/boatlabels.h"
#include "scene/ship.h"
#include "scene/tracklayer.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>

namespace
{

MapProjection viewAt(const GeoPoint &centre, int zoom, int width = 1920, int height = 1080)
{
    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(centre);
    p.layout(width, height);
    return p;
}

double segmentDistance(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF w = b - a;
    const double w2 = QPointF::dotProduct(w, w);
    const double s = w2 > 0 ? std::clamp(QPointF::dotProduct(p - a, w) / w2, 0.0, 1.0) : 0.0;
    const QPointF d = p - (a + s * w);
    return std::hypot(d.x(), d.y());
}

double distanceToLine(const QPointF &p, const QPolygonF &line)
{
    double best = HUGE_VAL;
    for (int k = 1; k < line.size(); ++k)
        best = std::min(best, segmentDistance(p, line.at(k - 1), line.at(k)));
    return best;
}

// What the time slider does for one moment, then the geometry for the view.
void show(Ship &ship, int t, const MapProjection &projection)
{
    ship.setCurrentPoint(ship.positionAt(t));
    ship.setCurrentTime(t);
    ship.setPositionKnown(true);
    ship.setShowTrack(true);
    ship.updateGeometry(projection);
}

// A ship whose raw track is its display track, fixes at 1000 + step * i
// moving east 6 m a second, with the given fixes moved north by `jump` degrees.
std::unique_ptr<Ship> shipEast(int fixes, int step, const QList<int> &spikes = {},
                               double jump = 0.01, const QList<int> &gapsAfter = {})
{
    auto ship = std::make_unique<Ship>(1, QStringLiteral("a"), QString(), QString());
    int t = 1000;
    for (int i = 0; i < fixes; ++i) {
        const double lng = 15.0 + (t - 1000) * 6.0 / 81000.0;
        ship->rawTrack()->addPoint(43.0 + (spikes.contains(i) ? jump : 0.0), lng, t, 90.0);
        t += gapsAfter.contains(i) ? 10 * step : step;
    }
    ship->setPointCount(fixes);
    ship->setHasPositions(true);
    ship->setCompleteTrack(true);
    ship->setDisplayTrack(ship->rawTrack());
    return ship;
}

// Pixels of `a` that are not white and have no such pixel of `b` within one
// pixel, either way round.
int strayPixels(const QImage &a, const QImage &b)
{
    const auto inked = [](const QImage &image, int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
               image.pixel(x, y) != qRgb(255, 255, 255);
    };
    int stray = 0;
    for (const auto &[from, to] : {std::pair{&a, &b}, {&b, &a}}) {
        for (int y = 0; y < from->height(); ++y) {
            for (int x = 0; x < from->width(); ++x) {
                if (!inked(*from, x, y))
                    continue;
                bool near = false;
                for (int dy = -1; dy <= 1 && !near; ++dy)
                    for (int dx = -1; dx <= 1 && !near; ++dx)
                        near = inked(*to, x + dx, y + dy);
                stray += near ? 0 : 1;
            }
        }
    }
    return stray;
}

int inkedPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    return n;
}

} // namespace

class TestTrackLines : public QObject
{
    Q_OBJECT
private slots:
    void lineWithinOnePixelOfRawLine_data()
    {
        QTest::addColumn<int>("zoom");
        for (int zoom : {9, 12, 14, 15, 17})
            QTest::addRow("zoom %d", zoom) << zoom;
    }
    void lineWithinOnePixelOfRawLine()
    {
        QFETCH(int, zoom);
        // A boat of the demo service's big race, one fix a second: taken in
        // first half at once, then one fix at a time, as a live race does.
        DemoServer::Options options;
        options.quiet = true;
        const DemoServer server(options);
        const int boat = server.boats(DemoServer::bigEventId).first().id;
        const QList<DemoServer::Fix> fixes = server.fixes(DemoServer::bigEventId, boat);
        QVERIFY(fixes.size() > 5000);
        Ship ship(boat, QStringLiteral("b"), QString(), QString());
        Track *raw = ship.rawTrack();
        ship.setDisplayTrack(raw);
        ship.setHasPositions(true);
        ship.setCompleteTrack(true);
        const GeoPoint centre(fixes.at(fixes.size() / 2).lat, fixes.at(fixes.size() / 2).lng);
        const MapProjection p = viewAt(centre, zoom);
        const QPointF origin = WorldProjector::viewOrigin(p);
        const WorldProjector world(zoom);
        const QRectF view(0, 0, p.width(), p.height());
        for (int i = 0; i < fixes.size(); ++i) {
            raw->addPoint(fixes.at(i).lat, fixes.at(i).lng, int(fixes.at(i).tstamp), 0.0);
            ship.setPointCount(raw->count());
            const int n = int(fixes.size());
            if (i != n / 2 && i != 3 * n / 4 && i != n - 1)
                continue;
            show(ship, raw->newestTime(), p);
            const QPolygonF line = ship.trackPolygon();
            // Every fix the line runs through, fix 0 and the boat's own aside.
            int checked = 0;
            for (int k = 1; k + 1 < raw->count(); ++k) {
                const QPointF at = world(raw->latAt(k), raw->lngAt(k)) - origin;
                if (!view.contains(at))
                    continue;
                ++checked;
                const double d = distanceToLine(at, line);
                QVERIFY2(d <= 1.0, qPrintable(QStringLiteral("fix %1 of %2 is %3 px off the line")
                                                  .arg(k)
                                                  .arg(raw->count())
                                                  .arg(d)));
            }
            QVERIFY(checked > 0);
        }
        QCOMPARE(raw->count(), int(fixes.size()));
        // Shown at the zoom, a fix a second leaves fewer points than fixes.
        if (zoom <= 14)
            QVERIFY(ship.trackPolygon().size() < raw->count() / 2);
    }

    void trackLayerDrawsTheShownLine()
    {
        // Five boats of the big race replayed forwards, back, one hidden and
        // one followed: the layer and the boats' own ends draw what each
        // ship's whole line shows, drawn in one piece.
        DemoServer::Options options;
        options.quiet = true;
        const DemoServer server(options);
        QGraphicsScene scene(0, 0, 900, 700);
        std::vector<std::unique_ptr<Ship>> ships;
        for (const DemoServer::Boat &boat : server.boats(DemoServer::bigEventId).mid(0, 5)) {
            auto ship = std::make_unique<Ship>(boat.id, boat.name, QString(), QString());
            for (const DemoServer::Fix &fix : server.fixes(DemoServer::bigEventId, boat.id))
                ship->rawTrack()->addPoint(fix.lat, fix.lng, int(fix.tstamp), 0.0);
            ship->setPointCount(ship->rawTrack()->count());
            ship->setHasPositions(true);
            ship->setDisplayTrack(ship->rawTrack());
            ship->setShowSpeedLabel(false);
            ship->displayTrack()->setColour(QColor::fromHsv(int(ships.size()) * 70, 255, 200));
            scene.addItem(ship.get());
            ships.push_back(std::move(ship));
        }
        TrackLayer *layer = TrackLayer::ensureIn(&scene);
        QCOMPARE(TrackLayer::ensureIn(&scene), layer);
        const Track *first = ships.front()->rawTrack();
        MapProjection view = viewAt(first->positionOf(first->count() / 2), 14, 900, 700);
        const int start = first->timeAt(0);
        const auto showAll = [&](int t) {
            for (auto &ship : ships) {
                show(*ship, t, view);
                ship->setPositionKnown(false); // the lines alone
            }
        };
        const auto rendered = [&] {
            QImage image(900, 700, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            scene.render(&painter);
            return image;
        };
        const Ship *elsewhere = nullptr; // placed in another view: its own end only
        const auto inOnePiece = [&] {
            QImage image(900, 700, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            for (const auto &ship : ships) {
                if (!ship->isShown())
                    continue;
                QPen pen;
                pen.setCosmetic(true);
                pen.setWidth(ship->follow() ? 2 : 1);
                pen.setColor(ship->displayTrack()->colour());
                if (ship.get() == elsewhere)
                    TrackLayer::drawLine(&painter, ship->endLine(), ship->endGaps(), pen);
                else
                    TrackLayer::drawLine(&painter, ship->trackPolygon(), ship->trackGaps(), pen);
            }
            return image;
        };
        const auto check = [&](const char *what) {
            const QImage a = rendered();
            const QImage b = inOnePiece();
            QVERIFY2(inkedPixels(b) > 200, what);
            QVERIFY2(strayPixels(a, b) == 0, what);
        };
        for (int step = 1; step <= 6; ++step) {
            showAll(start + step * 600);
            check("forwards");
        }
        // Ten minutes a step only added to the image.
        QCOMPARE(layer->redraws(), 1);
        QCOMPARE(layer->extensions(), 5);
        showAll(start + 1500);
        check("back");
        QCOMPARE(layer->redraws(), 2);
        ships.at(2)->setShown(false);
        check("one hidden");
        ships.at(1)->setFollow(true);
        check("one followed");
        QCOMPARE(layer->redraws(), 4);
        // Following a boat or dragging moves the map: the image is moved, not
        // redrawn. Each move back uncovers the lines the one before pushed out.
        int t = start + 2000;
        for (const QPoint by : {QPoint(440, -20), QPoint(-440, 20), QPoint(0, 100), QPoint(0, 340),
                                QPoint(-3, -340)}) {
            view = viewAt(view.viewToGeo(450 + by.x(), 350 + by.y()), 14, 900, 700);
            showAll(t += 30);
            check("moved");
        }
        QCOMPARE(layer->redraws(), 4);
        QCOMPARE(layer->scrolls(), 5);
        // The first boat left in another view does not take the others along.
        elsewhere = ships.front().get();
        show(*ships.front(), t, viewAt(view.viewToGeo(0, 0), 13, 900, 700));
        ships.front()->setPositionKnown(false);
        check("one elsewhere");
        for (auto &ship : ships)
            scene.removeItem(ship.get());
        const QImage empty = rendered();
        QCOMPARE(inkedPixels(empty), 0);
    }

    void outlierIgnoredForPositionAndLine()
    {
        // Fix 5 jumps 1.1 km north and back within two seconds; fix 0 and
        // the newest are spikes with one neighbour.
        auto ship = shipEast(12, 1, {0, 5, 11});
        const Track *t = ship->rawTrack();
        QList<int> outliers;
        for (int i = 0; i < t->count(); ++i) {
            if (t->isOutlier(i))
                outliers << i;
        }
        QCOMPARE(outliers, (QList<int>{0, 5, 11}));
        QCOMPARE(t->outlierCount(), 3);
        // At the spike's moment the boat is half-way between its neighbours.
        const TrackPoint *p = ship->positionAt(1005);
        QVERIFY(std::abs(p->position.lat() - 43.0) < 1e-6);
        QVERIFY(ship->speed() < 20.0);
        // After the end it stays on its last true fix.
        p = ship->positionAt(5000);
        QCOMPARE(std::pair(p->tstamp, p->position.lat()), std::pair(1010, 43.0));
        const MapProjection view = viewAt(t->positionOf(6), 17, 800, 600);
        show(*ship, 1011, view);
        const int spikeY = view.geoToView(t->positionOf(5)).y();
        for (const QPointF &point : ship->trackPolygon())
            QVERIFY(std::abs(point.y() - spikeY) > 100);
        QVERIFY(BoatLabels::infoText(*ship, nullptr)
                    .contains(QStringLiteral("Ausreißer nicht gezeigt: 3")));
        // A boat at 40 knots is no outlier.
        auto fast = shipEast(3, 1, {1}, 40.0 * 1.852 / 3600.0 / 111.2 * 0.9);
        QCOMPARE(fast->rawTrack()->outlierCount(), 0);
    }

    void gapDrawnDashed()
    {
        // Fixes 10 s apart, then 100 s without one after fix 9.
        QGraphicsScene scene(0, 0, 800, 600);
        auto ship = shipEast(20, 10, {}, 0.0, {9});
        const Track *t = ship->rawTrack();
        QCOMPARE(t->usualInterval(), 10);
        QVERIFY(t->isGap(9, 10) && !t->isGap(8, 9));
        ship->setNamedColour(QStringLiteral("#0000ff"));
        ship->displayTrack()->setColour(QColor(0, 0, 255));
        scene.addItem(ship.get());
        TrackLayer::ensureIn(&scene);
        const MapProjection view = viewAt(t->positionOf(10), 16, 800, 600);
        show(*ship, t->newestTime(), view);
        const QPolygonF line = ship->trackPolygon();
        QCOMPARE(ship->trackGaps().size(), 1);
        const int g = ship->trackGaps().first();
        QVERIFY((line.at(g - 1) - (WorldProjector(16)(t->latAt(10), t->lngAt(10)) -
                                   WorldProjector::viewOrigin(view)))
                    .manhattanLength() < 0.01);
        // Painted: the gap with holes in it, the legs before it solid.
        QImage image(800, 600, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        scene.render(&painter);
        painter.end();
        scene.removeItem(ship.get());
        const auto blueAlong = [&](const QPointF &a, const QPointF &b) {
            int blue = 0;
            const int steps = int(std::abs(b.x() - a.x()));
            for (int s = 2; s < steps - 2; ++s) {
                const QPointF at = a + (b - a) * (double(s) / steps);
                bool found = false;
                for (int dy = -1; dy <= 1; ++dy) {
                    const QColor c = image.pixelColor(int(at.x()), int(at.y()) + dy);
                    found = found || (c.blue() > 200 && c.red() < 100);
                }
                blue += found ? 1 : 0;
            }
            return double(blue) / std::max(1, steps - 4);
        };
        QVERIFY(blueAlong(line.at(g - 1), line.at(g)) < 0.8);
        QVERIFY(blueAlong(line.at(g - 1), line.at(1)) > 0.9);
    }

    void staleBoatHollowAndNotExtrapolated()
    {
        // Fixes 10 s apart up to 1190.
        auto ship = shipEast(20, 10);
        ship->setSpriteStrip(std::make_shared<QPixmap>(qEnvironmentVariable("VELMARO_SOURCE_DIR") +
                                                           QStringLiteral("/sprites/shipstrip.png"),
                                                       "png"));
        ship->setNamedColour(QStringLiteral("#ff0000"));
        const MapProjection view = viewAt(ship->rawTrack()->positionOf(19), 15, 800, 600);
        const auto centreAlpha = [&](int t) {
            show(*ship, t, view);
            return qAlpha(ship->sprite().pixel(16, 16));
        };
        QVERIFY(centreAlpha(1205) > 0);
        QVERIFY(!ship->isStale());
        QCOMPARE(centreAlpha(1215), 0);
        QVERIFY(ship->isStale());
        QCOMPARE(ship->currentPoint()->position, ship->rawTrack()->positionOf(19));
        QCOMPARE(ship->currentPoint()->tstamp, 1190);
    }
};

QTEST_MAIN(TestTrackLines)
#include "tst_tracklines.moc"
