#ifndef VELMARO_MAP_TILEDISKCACHE_H
#define VELMARO_MAP_TILEDISKCACHE_H

#include "map/tilekey.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

// Tiles on disk as <folder>/<zoom>/<column>/<row>.png, holding the bytes the
// server sent (read by content, whatever the name says). Files are never
// expired: once a tile is on disk it is shown from there.
class TileDiskCache
{
public:
    explicit TileDiskCache(const QString &folder = QString());

    void setFolder(const QString &folder) { m_folder = folder; }
    QString folder() const { return m_folder; }

    QString pathFor(const TileKey &key) const;

    // Null when the file is missing, does not decode or is not a tile of
    // 256 x 256 pixels (such a file was never cached by this version).
    QImage load(const TileKey &key) const;

    // A tile from received bytes: null unless a 256 x 256 image.
    static QImage decode(const QByteArray &bytes);
    static QImage decode(QIODevice *device);

    // Writes the bytes as the server sent them. Creates the folders as needed
    // (the cache folder included) and replaces the file atomically, so an
    // interrupted write never leaves a broken tile.
    bool save(const TileKey &key, const QByteArray &bytes) const;

private:
    QString m_folder;
};

#endif
