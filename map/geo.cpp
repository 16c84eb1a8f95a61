#include "map/geo.h"

#include <QtCore/qnamespace.h>

#include <algorithm>
#include <cmath>

double GeoPoint::latRad() const
{
    return m_lat / Geo::degPerRad;
}
double GeoPoint::lngRad() const
{
    return m_lng / Geo::degPerRad;
}
void GeoPoint::setLatRad(double rad)
{
    m_lat = rad * Geo::degPerRad;
}
void GeoPoint::setLngRad(double rad)
{
    m_lng = rad * Geo::degPerRad;
}

namespace Geo
{

QPointF tilePosition(double lat, double lng, double n)
{
    const double phi = pi * lat / 180.0;
    const double x = (lng + 180.0) / 360.0 * n;
    const double y = (std::log(std::tan(phi) + 1.0 / std::cos(phi)) / (-pi) + 1.0) * 0.5 * n;
    return QPointF(x, y);
}

QPoint tileIndexAt(double lat, double lng, double n)
{
    const QPointF p = tilePosition(lat, lng, n);
    return QPoint(static_cast<int>(p.x()), static_cast<int>(p.y()));
}

double tileLongitude(double x, double n)
{
    return x / n * 360.0 - 180.0;
}

double tileLatitude(double y, double n)
{
    const double t = pi - twoPi * y / n;
    const double sinhT = (std::exp(t) - std::exp(-t)) * 0.5;
    return std::atan(sinhT) * degPerRad;
}

TileBounds tileBounds(int column, int row, double n)
{
    TileBounds b;
    b.north = tileLatitude(row, n);
    b.south = tileLatitude(row + 1, n);
    b.west = 360.0 / n * column - 180.0;
    b.east = b.west + 360.0 / n;
    return b;
}

GeoPoint clampedCentre(double lat, double lng, const GeoPoint &fallback)
{
    if (!std::isfinite(lat) || !std::isfinite(lng))
        return fallback;
    lat = std::clamp(lat, -maxLatitude, maxLatitude);
    if (lng < -180.0 || lng > 180.0) {
        lng = std::fmod(lng + 180.0, 360.0);
        if (lng < 0.0)
            lng += 360.0;
        lng -= 180.0;
    }
    return GeoPoint(lat, lng);
}

int clampedZoom(int zoom)
{
    return std::clamp(zoom, 0, maxZoom);
}

GeoPoint pannedCentre(const GeoPoint &centre, double n, int dx, int dy)
{
    const QPointF t = tilePosition(centre.lat(), centre.lng(), n);
    return GeoPoint(tileLatitude(t.y() - dy / double(tileSize), n),
                    tileLongitude(t.x() - dx / double(tileSize), n));
}

GeoPoint zoomedCentre(const GeoPoint &centre, double n, double newN, double dx, double dy)
{
    const QPointF t = tilePosition(centre.lat(), centre.lng(), n);
    // Tile coordinates scale with n: the fixed point scales, the offset stays.
    const double scale = newN / n;
    const double x = (t.x() + dx / tileSize) * scale - dx / tileSize;
    const double y = (t.y() + dy / tileSize) * scale - dy / tileSize;
    return GeoPoint(tileLatitude(y, newN), tileLongitude(x, newN));
}

ViewFit fitView(const QVector<GeoPoint> &points, int width, int height, int margin, int minZoom,
                int maxZoom)
{
    ViewFit fit;
    // The box in world pixels at zoom 0 (n = 1), where y grows southwards.
    double left = 0, right = 0, top = 0, bottom = 0;
    for (const GeoPoint &p : points) {
        if (!std::isfinite(p.lat()) || !std::isfinite(p.lng()) || std::abs(p.lat()) > maxLatitude ||
            std::abs(p.lng()) > 180.0)
            continue;
        const QPointF t = tilePosition(p.lat(), p.lng(), 1.0);
        if (!fit.valid) {
            left = right = t.x();
            top = bottom = t.y();
            fit.valid = true;
        }
        left = std::min(left, t.x());
        right = std::max(right, t.x());
        top = std::min(top, t.y());
        bottom = std::max(bottom, t.y());
    }
    if (!fit.valid)
        return fit;
    fit.centre =
        GeoPoint(tileLatitude((top + bottom) / 2, 1.0), tileLongitude((left + right) / 2, 1.0));
    const double roomX = std::max(1, width - 2 * margin);
    const double roomY = std::max(1, height - 2 * margin);
    fit.zoom = minZoom;
    for (int z = maxZoom; z > minZoom; --z) {
        const double scale = tileSize * std::ldexp(1.0, z);
        if ((right - left) * scale <= roomX && (bottom - top) * scale <= roomY) {
            fit.zoom = z;
            break;
        }
    }
    return fit;
}

QString browserUrl(const GeoPoint &centre, int zoom)
{
    return QStringLiteral("https://www.openstreetmap.org/#map=%1/%2/%3")
        .arg(zoom)
        .arg(centre.lat(), 0, 'f', 5)
        .arg(centre.lng(), 0, 'f', 5);
}

QPoint arrowKeyDrag(int key)
{
    // Left shows what lies west: the content moves right.
    switch (key) {
    case Qt::Key_Left:
        return QPoint(tileSize, 0);
    case Qt::Key_Right:
        return QPoint(-tileSize, 0);
    case Qt::Key_Up:
        return QPoint(0, tileSize);
    case Qt::Key_Down:
        return QPoint(0, -tileSize);
    default:
        return QPoint();
    }
}

double angleDiff(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d <= -180.0)
        d += 360.0;
    else if (d > 180.0)
        d -= 360.0;
    return d;
}

double normalizedDegrees(double deg)
{
    deg = std::fmod(deg, 360.0);
    return deg < 0 ? deg + 360.0 : deg;
}

double bearingTo(const GeoPoint &a, const GeoPoint &b)
{
    const double phi1 = a.lat() / degPerRad;
    const double phi2 = b.lat() / degPerRad;
    const double dLambda = (b.lng() - a.lng()) / degPerRad;
    double theta = std::atan2(std::cos(phi2) * std::sin(dLambda),
                              std::cos(phi1) * std::sin(phi2) -
                                  std::sin(phi1) * std::cos(phi2) * std::cos(dLambda)) *
                   degPerRad;
    if (theta < 0)
        theta += 360.0;
    return theta;
}

double distanceKm(const GeoPoint &a, const GeoPoint &b)
{
    const double phi1 = a.lat() / degPerRad;
    const double phi2 = b.lat() / degPerRad;
    const double lambda1 = a.lng() / degPerRad;
    const double lambda2 = b.lng() / degPerRad;
    const double sLat = std::sin((phi2 - phi1) * 0.5);
    const double sLng = std::sin((lambda2 - lambda1) * 0.5);
    const double h = sLat * sLat + std::cos(phi1) * std::cos(phi2) * sLng * sLng;
    return 2.0 * std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * earthRadiusKm;
}

GeoPoint destinationPoint(const GeoPoint &start, double distanceKm, double bearingDeg)
{
    const double phi1 = start.lat() / degPerRad;
    const double theta = bearingDeg / degPerRad;
    const double s = std::sin(phi1);
    // Meridional radius of curvature at the start latitude (WGS84).
    const double m = 6335.4422767778715 / std::pow(1.0 - 0.006694384761408399 * s * s, 1.5);
    const double delta = distanceKm / m;
    const double c1 = 1.5707963267948966 - phi1;
    const double c2 = std::acos(std::cos(delta) * std::cos(c1) +
                                std::sin(delta) * std::sin(c1) * std::cos(theta));
    const double lat = (1.5707963267948966 - c2) * degPerRad;
    const double dLambda = std::asin(std::sin(theta) * std::sin(delta) / std::sin(c1));
    const double lng = (start.lng() / degPerRad + dLambda) * degPerRad;
    return GeoPoint(lat, lng);
}

GeoPoint midpointOf(const GeoPoint &a, const GeoPoint &b)
{
    const double phi1 = a.lat() / degPerRad;
    const double phi2 = b.lat() / degPerRad;
    const double lambda1 = a.lng() / degPerRad;
    const double dLambda = (b.lng() - a.lng()) * pi / 180.0;
    const double bx = std::cos(phi2) * std::cos(dLambda);
    const double by = std::cos(phi2) * std::sin(dLambda);
    const double cx = std::cos(phi1) + bx;
    const double phiM = std::atan2(std::sin(phi1) + std::sin(phi2), std::sqrt(cx * cx + by * by));
    const double lambdaM = lambda1 + std::atan2(by, std::cos(phi1) + bx);
    return GeoPoint(phiM * degPerRad, lambdaM * degPerRad);
}

double dot(const GeoPoint &a, const GeoPoint &b)
{
    return a.lat() * b.lat() + a.lng() * b.lng();
}

double length(const GeoPoint &a)
{
    return std::sqrt(a.lat() * a.lat() + a.lng() * a.lng());
}

GeoPoint normalized(const GeoPoint &a)
{
    const double len = length(a);
    if (len == 0.0)
        return GeoPoint(0.0, 0.0);
    return GeoPoint(a.lat() / len, a.lng() / len);
}

} // namespace Geo

MapProjection::MapProjection()
{
    setZoom(10);
}

void MapProjection::setZoom(int zoom)
{
    m_zoom = Geo::clampedZoom(zoom);
    m_n = static_cast<double>(1LL << m_zoom);
}

void MapProjection::setCentre(double lat, double lng)
{
    const GeoPoint c = Geo::clampedCentre(lat, lng, centre());
    m_centreLat = c.lat();
    m_centreLng = c.lng();
}

void MapProjection::layout(int width, int height)
{
    // The centre is inside the world, so the tile indices stay within the
    // grid's reach and the range within the view's size.
    width = std::max(width, 0);
    height = std::max(height, 0);
    m_width = width;
    m_height = height;
    const QPointF p = Geo::tilePosition(m_centreLat, m_centreLng, m_n);
    const double x = p.x();
    const double y = p.y();
    const int halfW = width / 2;
    const int halfH = height / 2;
    const int xa = static_cast<int>(halfW - 256.0 * (x - std::floor(x)));
    const int ya = static_cast<int>(halfH - 256.0 * (y - std::floor(y)));
    const int xn = (xa + 255) / 256;
    const int yn = (ya + 255) / 256;
    const int tx = static_cast<int>(x);
    const int ty = static_cast<int>(y);
    const int left = tx - xn;
    const int top = ty - yn;
    m_firstTileOffset = QPoint(xa - 256 * xn, ya - 256 * yn);
    const int right = (width - 1 - xa) / 256 + tx;
    const int bottom = (height - 1 - ya) / 256 + ty;
    m_visibleTiles = QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect MapProjection::tileRect(int column, int row) const
{
    return QRect(m_firstTileOffset.x() + 256 * (column - m_visibleTiles.left()),
                 m_firstTileOffset.y() + 256 * (row - m_visibleTiles.top()), 256, 256);
}

QPoint MapProjection::geoToView(double lng, double lat) const
{
    const QPoint t = Geo::tileIndexAt(lat, lng, m_n);
    const TileBounds b = Geo::tileBounds(t.x(), t.y(), m_n);
    const int x = static_cast<int>(256.0 * (lng - b.west) / (b.east - b.west) +
                                   256.0 * (t.x() - m_visibleTiles.left())) +
                  m_firstTileOffset.x();
    const int y = static_cast<int>(256.0 * (lat - b.north) / (b.south - b.north) +
                                   256.0 * (t.y() - m_visibleTiles.top())) +
                  m_firstTileOffset.y();
    return QPoint(x, y);
}

GeoPoint MapProjection::viewToGeo(int px, int py) const
{
    const QPointF p = Geo::tilePosition(m_centreLat, m_centreLng, m_n);
    const int halfW = m_width / 2;
    const int halfH = m_height / 2;
    const double dx = (halfW - px) / 256.0;
    const double dy = (halfH - py) / 256.0;
    const double lng = (p.x() - dx) / m_n * 360.0 - 180.0;
    const double lat = Geo::tileLatitude(p.y() - dy, m_n);
    return GeoPoint(lat, lng);
}
