#ifndef VELMARO_MAP_GEO_H
#define VELMARO_MAP_GEO_H

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QVector>

// Latitude then longitude in decimal degrees, north and east positive. The
// same two doubles also serve as a plain 2-vector (lat = x, lng = y).
class GeoPoint
{
public:
    GeoPoint() = default;
    GeoPoint(double lat, double lng) : m_lat(lat), m_lng(lng) {}

    double lat() const { return m_lat; }
    double lng() const { return m_lng; }
    double latRad() const;
    double lngRad() const;
    void setLat(double lat) { m_lat = lat; }
    void setLng(double lng) { m_lng = lng; }
    void setLatRad(double rad);
    void setLngRad(double rad);
    void reset() { m_lat = m_lng = 0.0; }

    bool operator==(const GeoPoint &o) const { return m_lat == o.m_lat && m_lng == o.m_lng; }
    bool operator!=(const GeoPoint &o) const { return !(*this == o); }

private:
    double m_lat = 0.0;
    double m_lng = 0.0;
};

// One tile's edges in degrees.
struct TileBounds {
    double south = 0.0;
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
};

// Web-Mercator tile arithmetic and great-circle helpers. Pure functions; n is
// 2^zoom. Inputs outside the world give indices outside 0..n-1 or non-finite
// values, which callers reject.
namespace Geo
{
inline constexpr int tileSize = 256;
inline constexpr double pi = 3.141592653589793;
inline constexpr double twoPi = 6.283185307179586;
inline constexpr double degPerRad = 57.29577951308232;
inline constexpr double earthRadiusKm = 6371.0;
// Edge of the square Web-Mercator world.
inline constexpr double maxLatitude = 85.0511287798066;
// Deepest level at which view pixels across the whole world still fit an int.
inline constexpr int maxZoom = 22;

QPointF tilePosition(double lat, double lng, double n); // fractional column, row
QPoint tileIndexAt(double lat, double lng, double n);   // truncated toward zero
double tileLongitude(double x, double n);
double tileLatitude(double y, double n);
TileBounds tileBounds(int column, int row, double n);

// Centres a projection accepts: latitude clamped to the world's edge,
// longitude wrapped into -180..180, zoom clamped to 0..maxZoom. A centre that
// is not finite is no centre: fallback is used instead.
GeoPoint clampedCentre(double lat, double lng, const GeoPoint &fallback);
int clampedZoom(int zoom);

// The centre after the map content was dragged by (dx, dy) view pixels at
// n = 2^zoom: the centre moves the other way. Not yet clamped.
GeoPoint pannedCentre(const GeoPoint &centre, double n, int dx, int dy);
// The centre after a zoom from n to newN that keeps the point (dx, dy) view
// pixels off the centre in place. Not yet clamped.
GeoPoint zoomedCentre(const GeoPoint &centre, double n, double newN, double dx, double dy);
// The view that shows every point: the centre of their box and the deepest
// zoom in minZoom..maxZoom at which the box fits a width x height view with
// `margin` pixels left on each side. Points that are not finite or off the
// world are left out; with none left, valid is false.
struct ViewFit {
    bool valid = false;
    GeoPoint centre;
    int zoom = 0;
};
ViewFit fitView(const QVector<GeoPoint> &points, int width, int height, int margin, int minZoom,
                int maxZoom);
// The OpenStreetMap page showing the same place and zoom as the view.
QString browserUrl(const GeoPoint &centre, int zoom);
// The drag an arrow key stands for (one tile); (0, 0) for any other key.
QPoint arrowKeyDrag(int key);

// Directions: a - b folded into (-180, 180], and any angle into [0, 360).
double angleDiff(double a, double b);
double normalizedDegrees(double deg);

double bearingTo(const GeoPoint &a, const GeoPoint &b);  // degrees in [0, 360)
double distanceKm(const GeoPoint &a, const GeoPoint &b); // haversine
GeoPoint destinationPoint(const GeoPoint &start, double distanceKm, double bearingDeg);
GeoPoint midpointOf(const GeoPoint &a, const GeoPoint &b);

double dot(const GeoPoint &a, const GeoPoint &b);
double length(const GeoPoint &a);
GeoPoint normalized(const GeoPoint &a); // (0, 0) for a zero vector
} // namespace Geo

// Projection state of a map view: centre, zoom and the tile layout for a
// view size. Scene items reach geography only through this.
class MapProjection
{
public:
    MapProjection();

    void setZoom(int zoom); // clamped to 0..Geo::maxZoom
    int zoom() const { return m_zoom; }
    double n() const { return m_n; }

    // Clamped and wrapped; a non-finite centre keeps the current one.
    void setCentre(double lat, double lng);
    void setCentre(const GeoPoint &centre) { setCentre(centre.lat(), centre.lng()); }
    GeoPoint centre() const { return GeoPoint(m_centreLat, m_centreLng); }

    // Computes visibleTiles and firstTileOffset for a W x H view (negative
    // sizes count as 0). The tiles are never more than the view can show:
    // at most W / 256 + 2 columns and H / 256 + 2 rows.
    void layout(int width, int height);
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Inclusive tile columns (left..right) and rows (top..bottom); null
    // (0, 0, -1, -1 as left, top, right, bottom) before the first layout.
    QRect visibleTiles() const { return m_visibleTiles; }
    QPoint firstTileOffset() const { return m_firstTileOffset; }

    // View rectangle of tile (column, row) in the current layout.
    QRect tileRect(int column, int row) const;

    QPoint geoToView(double lng, double lat) const;
    QPoint geoToView(const GeoPoint &p) const { return geoToView(p.lng(), p.lat()); }
    GeoPoint viewToGeo(int px, int py) const;

private:
    int m_zoom = 10;
    double m_n = 1024.0;
    double m_centreLat = 42.986766;
    double m_centreLng = 16.0203;
    int m_width = 0;
    int m_height = 0;
    QRect m_visibleTiles;
    QPoint m_firstTileOffset;
};

#endif
