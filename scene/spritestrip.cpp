#include "scene/spritestrip.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>

#include <cmath>

namespace SpriteStrip
{

int frameForHeading(double heading)
{
    if (!std::isfinite(heading))
        return 0;
    double h = std::fmod(heading, 360.0);
    if (h < 0.0)
        h += 360.0;
    // A tiny negative remainder plus 360 can round up to exactly 360.
    if (h >= 360.0)
        h = 0.0;
    const int frame = static_cast<int>(h);
    return frame < frameCount ? frame : frameCount - 1;
}

QImage render(const QImage &picture)
{
    const QPixmap source = QPixmap::fromImage(picture);
    const int h = source.height();
    QImage strip(frameSize * frameCount, frameSize, QImage::Format_ARGB32);
    // QImage leaves its pixels uninitialised; the frames only cover the boat.
    strip.fill(Qt::transparent);

    QPainter stripPainter(&strip);
    for (int k = 0; k < frameCount; ++k) {
        QPixmap frame(source.size());
        frame.fill(Qt::white);
        frame.setMask(frame.createMaskFromColor(Qt::white));
        {
            QPainter p(&frame);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.translate(h / 2, h / 2);
            p.rotate(k);
            p.translate(-(h / 2), -(h / 2));
            p.setCompositionMode(QPainter::CompositionMode_Multiply);
            p.drawPixmap(0, 0, source);
        }
        stripPainter.drawPixmap(QRect(frameSize * k, 0, frameSize, frameSize), frame, frame.rect());
    }
    stripPainter.end();
    return strip;
}

bool generateSpriteStrip(const QString &input, const QString &output)
{
    QImage picture;
    if (!picture.load(input, "png"))
        return false;
    const QImage strip = render(picture);
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!strip.save(&file, "png"))
        return false;
    return file.commit();
}

} // namespace SpriteStrip
