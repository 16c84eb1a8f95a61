#ifndef VELMARO_TESTS_SCENE_SCENETEST_H
#define VELMARO_TESTS_SCENE_SCENETEST_H

#include "map/geo.h"

#include <QColor>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <functional>
#include <memory>

namespace SceneTest
{

inline MapProjection projection(double lat, double lng, int zoom, int width, int height)
{
    MapProjection p;
    p.setZoom(zoom);
    p.setCentre(lat, lng);
    p.layout(width, height);
    return p;
}

// The committed strip, read from the source tree (tests run elsewhere).
inline std::shared_ptr<const QPixmap> committedStrip()
{
    const QString path = QDir(qEnvironmentVariable("VELMARO_SOURCE_DIR"))
                             .filePath(QStringLiteral("sprites/shipstrip.png"));
    return std::make_shared<QPixmap>(path, "png");
}

// Renders `source` of the scene 1:1 onto a white image of its size.
inline QImage render(QGraphicsScene &scene, const QRect &source)
{
    QImage image(source.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(source.size())), QRectF(source));
    painter.end();
    return image;
}

inline int countPixels(const QImage &image, const QRect &area,
                       const std::function<bool(QColor)> &match)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (match(image.pixelColor(x, y)))
                ++n;
    return n;
}

// A pixel clearly tinted towards `colour` over a white background.
inline std::function<bool(QColor)> tintedLike(const QColor &colour)
{
    return [colour](QColor c) {
        const auto close = [](int a, int b) { return std::abs(a - b) <= 60; };
        return c != QColor(Qt::white) && close(c.red(), colour.red()) &&
               close(c.green(), colour.green()) && close(c.blue(), colour.blue());
    };
}

inline QRect around(const QPoint &p, int half)
{
    return QRect(p.x() - half, p.y() - half, 2 * half, 2 * half);
}

} // namespace SceneTest

#endif
