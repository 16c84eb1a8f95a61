#include "map/karte.h"

#include <QHelpEvent>
#include <QToolTip>

#include "map/projecteditem.h"
#include "map/scheme.h"
#include "map/tileloader.h"
#include "platform/config.h"
#include "platform/paths.h"
#include "platform/seams.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

namespace
{
const char *const attribution = QT_TRANSLATE_NOOP("Karte", "\u00a9 OpenStreetMap-Mitwirkende");
const QUrl copyrightPage(QStringLiteral("https://www.openstreetmap.org/copyright"));
const char *const seamarkCredit = QT_TRANSLATE_NOOP("Karte", "Seezeichen \u00a9 OpenSeaMap");
const QUrl seamarkPage(QStringLiteral("https://www.openseamap.org"));
} // namespace

Karte::Karte(Scheme *scene, QWidget *parent)
    : QGraphicsView(scene, parent), m_tiles(new TileLoader(this)), m_seamarks(new TileLoader(this))
{
    m_tiles->setTileServer(Config::tileUrl());
    m_tiles->setCacheFolder(QDir(Paths::dataFolder()).filePath(QStringLiteral("maps")));
    m_seamarks->setTileServer(Config::seamarkUrl());
    m_seamarks->setCacheFolder(QDir(Paths::dataFolder()).filePath(QStringLiteral("maps-seamark")));
    m_seamarks->setTransparentBlank(true);

    setRenderHint(QPainter::Antialiasing, false);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setAttribute(Qt::WA_MouseTracking);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Without a frame the viewport is the whole widget, so view pixels and
    // scene coordinates coincide.
    setFrameShape(QFrame::NoFrame);

    connect(m_tiles, &TileLoader::updated, this, &Karte::updated);
    connect(m_seamarks, &TileLoader::updated, this, [this](const QRect &rect) {
        if (m_seamarksShown)
            emit updated(rect);
    });
    connect(this, &Karte::updated, this, &Karte::updateMap);
}

Karte::~Karte() = default;

void Karte::setCenterGeo(double lat, double lng)
{
    m_projection.setCentre(lat, lng);
}

void Karte::setCenterGeo(const GeoPoint &centre)
{
    m_projection.setCentre(centre);
}

void Karte::setZoomLevel(int zoom)
{
    m_projection.setZoom(std::clamp(zoom, int(minZoom), int(maxZoom)));
}

void Karte::showView(const GeoPoint &centre, int zoom)
{
    setCenterGeo(centre);
    setZoomLevel(zoom);
    relayout();
    emit zoomChanged(m_projection.zoom());
}

bool Karte::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QGraphicsView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = m_info ? m_info(help->pos()) : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport());
    return true;
}

void Karte::setGateItems(const QList<ProjectedItem *> &gates)
{
    m_gates = gates;
}

void Karte::setTileServer(const QString &baseUrl)
{
    m_tiles->setTileServer(baseUrl);
}

void Karte::setTileCacheFolder(const QString &folder)
{
    m_tiles->setCacheFolder(folder);
}

void Karte::setTileTimeout(int ms)
{
    m_tiles->setTransferTimeout(ms);
}

void Karte::setDownloadEnabled(bool on)
{
    m_tiles->setDownloadEnabled(on);
    m_seamarks->setDownloadEnabled(on);
}

void Karte::setSeamarksShown(bool on)
{
    if (on == m_seamarksShown)
        return;
    m_seamarksShown = on;
    // Hidden, the overlay keeps nothing in memory and asks for nothing, not
    // even when a reply still on its way comes in.
    m_seamarks->setProjection(MapProjection());
    m_seamarks->forgetTiles();
    relayout();
}

QStringList Karte::credits() const
{
    return m_seamarksShown ? QStringList{tr(attribution), tr(seamarkCredit)}
                           : QStringList{tr(attribution)};
}

void Karte::clearTileCache()
{
    m_tiles->clearCache();
    m_seamarks->clearCache();
    relayout();
}

void Karte::setTileCacheLimit(qint64 bytes)
{
    m_tiles->setCacheLimit(bytes);
    m_seamarks->setCacheLimit(bytes);
}

void Karte::relayout()
{
    const int w = width();
    const int h = height();
    setSceneRect(0, 0, w, h);
    if (w <= 0 || h <= 0)
        return;
    m_projection.layout(w, h);
    m_tiles->setProjection(m_projection);
    m_tiles->download();
    if (m_seamarksShown) {
        m_seamarks->setProjection(m_projection);
        m_seamarks->download();
    }
    for (ProjectedItem *gate : std::as_const(m_gates))
        gate->reproject(m_projection);
    emit projectionChanged(m_projection);
    emit updated(QRect(0, 0, w, h));
}

void Karte::panBy(int dx, int dy)
{
    emit dragged();
    m_projection.setCentre(Geo::pannedCentre(m_projection.centre(), m_projection.n(), dx, dy));
    relayout();
}

void Karte::stepZoom(int step)
{
    const int z = m_projection.zoom() + step;
    if (z < minZoom || z > maxZoom)
        return;
    m_projection.setZoom(z);
    relayout();
}

void Karte::stepZoomAt(int step, const QPoint &at)
{
    const int z = m_projection.zoom() + step;
    if (z < minZoom || z > maxZoom)
        return;
    // viewToGeo counts from the integer half of the view.
    const double dx = at.x() - m_projection.width() / 2;
    const double dy = at.y() - m_projection.height() / 2;
    const double n = m_projection.n();
    m_projection.setZoom(z);
    m_projection.setCentre(Geo::zoomedCentre(m_projection.centre(), n, m_projection.n(), dx, dy));
    relayout();
}

QUrl Karte::browserUrl() const
{
    return QUrl(Geo::browserUrl(m_projection.centre(), m_projection.zoom()));
}

void Karte::reportCursor(int x, int y)
{
    const GeoPoint g = m_projection.viewToGeo(x, y);
    emit cursorMoved(x, y, g.lat(), g.lng(), m_projection.zoom());
}

void Karte::updateMap(const QRect &rect)
{
    viewport()->update(rect);
}

void Karte::mousePressEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::LeftButton)
        return;
    m_lastDragPos = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void Karte::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (m_dragged) {
        m_dragged = false;
    } else if (m_attributionBox.contains(p)) {
        Seams::openUrl(copyrightPage); // the credit links to the licence
    } else if (m_seamarksShown && m_seamarkCreditBox.contains(p)) {
        Seams::openUrl(seamarkPage);
    } else {
        emit clicked(p.x(), p.y());
    }
    QWidget::mouseReleaseEvent(event);
}

void Karte::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->modifiers() & Qt::ShiftModifier) {
        const QPointF p = mapToScene(pos);
        translate(p.x(), p.y());
        centerOn(p);
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_lastMousePos = pos;
    if (event->buttons() == Qt::NoButton) {
        const bool link =
            m_attributionBox.contains(pos) || (m_seamarksShown && m_seamarkCreditBox.contains(pos));
        viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
        reportCursor(pos.x(), pos.y());
        return;
    }
    if (event->buttons() != Qt::LeftButton)
        return;
    const QPoint delta = pos - m_lastDragPos;
    m_lastDragPos = pos;
    m_dragged = true;
    panBy(delta.x(), delta.y());
    QWidget::mouseMoveEvent(event);
}

void Karte::wheelEvent(QWheelEvent *event)
{
    // A sideways touchpad swipe has no vertical step and must not zoom.
    const int dy = event->angleDelta().y();
    if (dy != 0) {
        stepZoomAt(dy > 0 ? 1 : -1, event->position().toPoint());
        emit zoomChanged(m_projection.zoom());
    }
    QWidget::wheelEvent(event);
}

void Karte::zoomKey(int step)
{
    stepZoom(step);
    emit zoomChanged(m_projection.zoom());
}

void Karte::keyPressEvent(QKeyEvent *event)
{
    const QPoint drag = Geo::arrowKeyDrag(event->key());
    if (!drag.isNull())
        panBy(drag.x(), drag.y());
    switch (event->key()) {
    case Qt::Key_Plus:
        zoomKey(+1);
        break;
    case Qt::Key_Minus:
        zoomKey(-1);
        break;
    case Qt::Key_PageUp:
        emit stepRequested();
        break;
    default:
        break;
    }
    reportCursor(m_lastMousePos.x(), m_lastMousePos.y());
    // Keys not handled here go on to the window.
    QWidget::keyPressEvent(event);
}

void Karte::resizeEvent(QResizeEvent *event)
{
    setSceneRect(0, 0, event->size().width(), event->size().height());
    relayout();
    QWidget::resizeEvent(event);
}

void Karte::drawBackground(QPainter *painter, const QRectF &rect)
{
    if (m_projection.width() <= 0 || m_projection.height() <= 0)
        return;
    const QRect tiles = m_projection.visibleTiles();
    for (int c = tiles.left(); c <= tiles.right() + 1; ++c) {
        for (int r = tiles.top(); r <= tiles.bottom() + 1; ++r) {
            const QRect target = m_projection.tileRect(c, r);
            if (!rect.intersects(target))
                continue;
            painter->drawPixmap(target, m_tiles->tile(c, r));
            if (m_seamarksShown)
                painter->drawPixmap(target, m_seamarks->tile(c, r));
        }
    }
}

void Karte::drawForeground(QPainter *painter, const QRectF &rect)
{
    Q_UNUSED(rect);
    // The tile licence asks for the credit on every map; it stays in the
    // viewport's corner whatever the view transformation.
    painter->save();
    painter->resetTransform();
    QFont font = painter->font();
    font.setPointSizeF(8);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QRect text = metrics.boundingRect(tr(attribution));
    const QRect area = viewport()->rect();
    QRect box(0, 0, text.width() + 8, metrics.height() + 2);
    box.moveBottomRight(area.bottomRight());
    m_attributionBox = box;
    painter->fillRect(box, QColor(255, 255, 255, 190));
    painter->setPen(QColor(40, 40, 40));
    painter->drawText(box, Qt::AlignCenter, tr(attribution));
    if (m_seamarksShown) {
        // Beside the map's credit, which keeps its place and link.
        QRect sea(0, 0, metrics.boundingRect(tr(seamarkCredit)).width() + 8, box.height());
        sea.moveBottomRight(box.bottomLeft() - QPoint(1, 0));
        m_seamarkCreditBox = sea;
        painter->fillRect(sea, QColor(255, 255, 255, 190));
        painter->drawText(sea, Qt::AlignCenter, tr(seamarkCredit));
    }
    painter->restore();
}
