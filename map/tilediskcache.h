#ifndef VELMARO_MAP_TILEDISKCACHE_H
#define VELMARO_MAP_TILEDISKCACHE_H

#include "map/tilekey.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

// What the server said about a cached tile, kept beside it in
// <row>.meta: its validators and until when it may be shown unasked.
struct TileMeta {
    static constexpr qint64 defaultLifetime = 7 * 24 * 3600; // when the server says nothing

    QByteArray etag;
    QByteArray lastModified; // the server's HTTP date, as sent
    qint64 expires = 0;      // Unix seconds; 0: unknown, counts as expired

    bool expiredAt(qint64 now) const { return expires <= now; }
    // From the reply headers at `now`: Cache-Control max-age first, then
    // Expires (an unreadable date counts as already expired), else seven days.
    static TileMeta fromHeaders(const QByteArray &cacheControl, const QByteArray &expiresHeader,
                                const QByteArray &etag, const QByteArray &lastModified, qint64 now);
    static QByteArray httpDate(qint64 secs);
};

// Tiles on disk as <folder>/<zoom>/<column>/<row>.png, holding the bytes the
// server sent (read by content, whatever the name says), with their metadata
// in <row>.meta. A tile without metadata (an older cache) counts as expired.
// Every load sets the file's access time, which orders the eviction once the
// folder grows past its limit.
class TileDiskCache
{
public:
    static constexpr qint64 defaultLimit = 500LL * 1024 * 1024;

    explicit TileDiskCache(const QString &folder = QString());

    void setFolder(const QString &folder);
    QString folder() const { return m_folder; }

    QString pathFor(const TileKey &key) const;
    QString metaPathFor(const TileKey &key) const;

    // Null when the file is missing, does not decode or is not a tile of
    // 256 x 256 pixels (such a file was never cached by this version).
    QImage load(const TileKey &key) const;
    // The stored metadata; without a file of it, a tile on disk has its
    // modification time as Last-Modified and no expiry.
    TileMeta meta(const TileKey &key) const;

    // A tile from received bytes: null unless a 256 x 256 image.
    static QImage decode(const QByteArray &bytes);
    static QImage decode(QIODevice *device);

    // Writes the bytes as the server sent them, then the metadata. Creates the
    // folders as needed (the cache folder included) and replaces each file
    // atomically, so an interrupted write never leaves a broken tile.
    bool save(const TileKey &key, const QByteArray &bytes, const TileMeta &meta = TileMeta());
    bool saveMeta(const TileKey &key, const TileMeta &meta) const;

    // Bytes of tiles and metadata the folder may hold; past it the least
    // recently used tiles go first.
    void setLimit(qint64 bytes);
    qint64 limit() const { return m_limit; }
    // Removes least recently used tiles until the folder holds at most
    // `target` bytes; returns the bytes it holds then.
    qint64 trim(qint64 target);
    // Removes every tile and its metadata; other files stay.
    void clear();

private:
    QString m_folder;
    qint64 m_limit = defaultLimit;
    qint64 m_bytes = -1; // held bytes as counted by the last scan and saves since; -1: unknown
};

#endif
