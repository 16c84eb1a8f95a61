#ifndef VELMARO_MAP_KARTE_H
#define VELMARO_MAP_KARTE_H

#include "map/geo.h"

#include <QGraphicsView>
#include <QList>
#include <QPoint>
#include <QStringList>
#include <QUrl>

#include <functional>

class ProjectedItem;
class Scheme;
class TileLoader;

// The map widget: tiles as the background, boats and gates as scene items
// on top. Not a scrolling view: the scene rectangle is the widget's size, so
// scene coordinates are view pixels, and panning or zooming moves the
// geographic centre and recomputes every pixel (relayout).
class Karte : public QGraphicsView
{
    Q_OBJECT
public:
    static constexpr int minZoom = 4;
    static constexpr int maxZoom = 15;

    // No layout and no tile traffic happen before the first relayout (at
    // the latest when shown).
    explicit Karte(Scheme *scene, QWidget *parent = nullptr);
    ~Karte() override;

    const MapProjection &projection() const { return m_projection; }

    // Store only; relayout() shows the change.
    void setCenterGeo(double lat, double lng);
    void setCenterGeo(const GeoPoint &centre);
    void setZoomLevel(int zoom); // clamped to minZoom..maxZoom
    int zoom() const { return m_projection.zoom(); }
    // Centre and zoom at once, then relayout; tells the zoom as a wheel step does.
    void showView(const GeoPoint &centre, int zoom);
    // This view's place and zoom on openstreetmap.org.
    QUrl browserUrl() const;

    // The gates reprojected on every refresh; not owned.
    void setGateItems(const QList<ProjectedItem *> &gates);

    // Default: Config::tileUrl() and "maps" in the data folder.
    void setTileServer(const QString &baseUrl);
    void setTileCacheFolder(const QString &folder);
    void setTileTimeout(int ms);
    TileLoader *tileLoader() const { return m_tiles; }
    // The seamark overlay (Config::seamarkUrl(), "maps-seamark" in the data
    // folder): drawn above the base map and below the scene's items, with
    // its own credit, while shown; off at first.
    TileLoader *seamarkLoader() const { return m_seamarks; }
    void setSeamarksShown(bool on);
    bool seamarksShown() const { return m_seamarksShown; }
    // The credits drawn in the corner, right-most first.
    QStringList credits() const;
    // Both layers' disk and memory tiles go; then the view fetches what it shows.
    void clearTileCache();
    void setTileCacheLimit(qint64 bytes);
    // Whether missing tiles may be downloaded; off at first.
    void setDownloadEnabled(bool on);
    // The tooltip text for a view pixel (empty: no tooltip); asked when the
    // cursor rests.
    using InfoSource = std::function<QString(const QPoint &)>;
    void setInfoSource(InfoSource source) { m_info = std::move(source); }
    // Whether a replay runs; moving the map by hand always emits dragged().
    void setAnimating(bool on) { m_animating = on; }
    bool isAnimating() const { return m_animating; }

public slots:
    // Lays the map out for the widget's size, supplies missing tiles,
    // reprojects gates and boats and repaints the whole view.
    void relayout();
    void panBy(int dx, int dy);
    void stepZoom(int step); // ignored when the result leaves minZoom..maxZoom
    // As stepZoom, keeping the place under view pixel `at` where it is.
    void stepZoomAt(int step, const QPoint &at);
    void reportCursor(int x, int y);
    void updateMap(const QRect &rect);

signals:
    void updated(const QRect &rect);
    // The geographic position under the cursor at view pixel (x, y).
    void cursorMoved(int x, int y, qreal lat, qreal lng, int zoom);
    // The zoom level after a wheel step or a +/- key.
    void zoomChanged(int zoom);
    // A press and release without dragging at view pixel (x, y).
    void clicked(int x, int y);
    // Panned by hand while animating: the camera no longer follows a boat.
    void dragged();
    // Every refresh, before the repaint: boats recompute their geometry.
    void projectionChanged(const MapProjection &projection);
    // Page Up: one animation step by hand.
    void stepRequested();

protected:
    // The handlers bypass QGraphicsView's own mouse, wheel, key and resize
    // behaviour (scrolling, hand dragging, item interaction).
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void zoomKey(int step);

    TileLoader *m_tiles;
    TileLoader *m_seamarks;
    bool m_seamarksShown = false;
    QRect m_seamarkCreditBox;
    MapProjection m_projection;
    QList<ProjectedItem *> m_gates;
    bool m_dragged = false;
    QRect m_attributionBox; // where the credit was drawn last, in viewport pixels
    bool m_animating = false;
    QPoint m_lastMousePos;
    QPoint m_lastDragPos;
    InfoSource m_info;
};

#endif
