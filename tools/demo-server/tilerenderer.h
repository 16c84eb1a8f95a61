#ifndef VELMARO_TOOLS_DEMOSERVER_TILERENDERER_H
#define VELMARO_TOOLS_DEMOSERVER_TILERENDERER_H

#include <QByteArray>

class QImage;

// Draws stand-in map tiles: open sea with a labelled grid of whole degrees
// and the tile's own z/x/y, so the viewer looks like a map without internet.
namespace TileRenderer
{
inline constexpr int maxZoom = 19;
// True when (z, x, y) names a tile of the slippy-map scheme.
bool isValidTile(int z, int x, int y);
// A 256 x 256 PNG; empty for an invalid tile. Needs a QGuiApplication.
QByteArray renderPng(int z, int x, int y);
// The seamark overlay's tile: transparent but for up to three buoys placed by
// the tile's own numbers; empty for an invalid tile.
QByteArray renderSeamarkPng(int z, int x, int y);
// The image as PNG bytes.
QByteArray pngOf(const QImage &image);
} // namespace TileRenderer

#endif
