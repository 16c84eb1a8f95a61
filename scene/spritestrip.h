#ifndef VELMARO_SCENE_SPRITESTRIP_H
#define VELMARO_SCENE_SPRITESTRIP_H

#include <QImage>
#include <QString>

// The boat picture turned in whole degrees: 360 frames of 32 x 32 pixels side
// by side, frame k turned k degrees clockwise, frame 0 pointing north.
namespace SpriteStrip
{
inline constexpr int frameSize = 32;
inline constexpr int frameCount = 360;

// Brings any heading into [0, 360) and picks its frame (whole degrees,
// truncated). Non-finite headings use frame 0.
int frameForHeading(double heading);

// Renders the strip from one picture whose bow points up. Needs a
// QGuiApplication (pixmaps).
QImage render(const QImage &picture);

// Loads `input`, renders the strip and saves it as PNG at `output`; false when
// the picture cannot be read or the strip cannot be written.
bool generateSpriteStrip(const QString &input = QStringLiteral("sprites/ship_32.png"),
                         const QString &output = QStringLiteral("sprites/shipstrip.png"));
} // namespace SpriteStrip

#endif
