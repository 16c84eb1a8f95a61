#ifndef VELMARO_MAP_TILEKEY_H
#define VELMARO_MAP_TILEKEY_H

#include <QHashFunctions>
#include <QString>

// One tile of the pyramid. The zoom level is part of the key so that a tile
// of one level never stands in for the tile with the same column and row of
// another.
struct TileKey {
    int zoom = 0;
    int column = 0;
    int row = 0;

    bool operator==(const TileKey &o) const
    {
        return zoom == o.zoom && column == o.column && row == o.row;
    }
    bool operator!=(const TileKey &o) const { return !(*this == o); }

    // "zoom/column/row", as in the tile server's and the disk cache's paths.
    QString toString() const { return QStringLiteral("%1/%2/%3").arg(zoom).arg(column).arg(row); }
};

inline size_t qHash(const TileKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.zoom, key.column, key.row);
}

#endif
