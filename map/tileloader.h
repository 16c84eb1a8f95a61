#ifndef VELMARO_MAP_TILELOADER_H
#define VELMARO_MAP_TILELOADER_H

#include "map/geo.h"
#include "map/tilediskcache.h"
#include "map/tilekey.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QRect>
#include <QSet>
#include <QString>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// The tile supply of a map view: tiles in memory around the visible area,
// the disk cache, and downloads of what is on neither. Memory holds only the
// tiles of the current zoom level within the retention rectangle (the
// visible tiles widened by two on every side). At most maxConnections
// requests are open at a time, the rest wait in a queue, and a tile is never
// asked for twice while a request for it waits or is open. An expired tile
// on disk is shown at once and asked for again with its validators.
class TileLoader : public QObject
{
    Q_OBJECT
public:
    explicit TileLoader(QObject *parent = nullptr);
    ~TileLoader() override;

    void setTileServer(const QString &baseUrl); // a trailing slash is dropped
    QString tileServer() const { return m_server; }
    void setCacheFolder(const QString &folder) { m_disk.setFolder(folder); }
    QString cacheFolder() const { return m_disk.folder(); }
    TileDiskCache &diskCache() { return m_disk; }
    void setCacheLimit(qint64 bytes) { m_disk.setLimit(bytes); }
    // Removes the tiles on disk and in memory; the next pass fetches anew.
    void clearCache();
    // Drops the tiles in memory and the waiting requests; the disk stays.
    void forgetTiles();
    // An overlay draws nothing where it has no tile: a transparent blank.
    void setTransparentBlank(bool on);
    void setTransferTimeout(int ms) { m_timeoutMs = ms; }
    int transferTimeout() const { return m_timeoutMs; }

    // Takes over the layout the view has just computed and drops the tiles
    // that fell out of the retention rectangle.
    void setProjection(const MapProjection &projection);
    const MapProjection &projection() const { return m_projection; }
    QRect retentionRect() const;

    // What to draw for a tile of the current zoom level: the tile in memory,
    // else the light-grey blank.
    const QPixmap &tile(int column, int row) const;
    const QPixmap &blankTile() const { return m_blank; }

    std::optional<QPixmap> cached(const TileKey &key) const;
    bool holdsBlank(const TileKey &key) const; // placeholder or failed tile
    QList<TileKey> cachedKeys() const { return m_cache.keys(); }
    int cachedCount() const { return int(m_cache.size()); }
    int openRequests() const { return m_openRequests; }
    int queuedRequests() const { return int(m_queue.size()); }
    static constexpr int maxConnections = 2;

    // Whether missing tiles may be downloaded (off at first); off, they are
    // blanked instead. Read at each decision.
    void setDownloadEnabled(bool on) { m_downloadEnabled = on; }
    bool downloadEnabled() const { return m_downloadEnabled; }

    // Forgets the blanks stored while downloading was off, so the next pass
    // looks them up again. Used once the stored preferences are known: the
    // first layout happens before they are loaded.
    void forgetOfflineBlanks();

public slots:
    // Handles every missing tile of the view, in this order: right-most
    // column first, each column top to bottom, one column and one row beyond
    // the visible tiles. Disk hits are loaded at once, misses are requested
    // (or blanked when downloading is off). A requested tile holds the blank
    // until its reply arrives, so it is asked for only once while it stays
    // within the retention rectangle.
    void download();

signals:
    // A view rectangle to repaint: one per tile that changed.
    void updated(const QRect &rect);
    // A request for the tile has just been sent.
    void tileRequested(const TileKey &key);
    // Once before each request and once when its reply has been handled:
    // what the transfer lamp counts.
    void transferStarted();
    void transferFinished();

private:
    std::optional<TileKey> nextMissing() const;
    void enqueue(const TileKey &key, bool revalidate);
    void sendQueued();
    bool wanted(const TileKey &key) const;
    void handleReply(QNetworkReply *reply, const TileKey &key, const TileMeta &sent,
                     bool revalidate);
    void store(const TileKey &key, const QPixmap &pixmap);
    void prune();
    // Without a layout (an overlay switched off) no tile is current.
    bool isCurrent(const TileKey &key) const
    {
        return key.zoom == m_projection.zoom() && m_projection.width() > 0;
    }

    QNetworkAccessManager *m_network;
    TileDiskCache m_disk;
    QString m_server;
    int m_timeoutMs;
    MapProjection m_projection;
    QHash<TileKey, QPixmap> m_cache;
    QSet<TileKey> m_offlineBlanks;
    struct Pending {
        TileKey key;
        bool revalidate = false; // a tile on disk, asked for with its validators
    };
    QList<Pending> m_queue;
    QSet<TileKey> m_inFlight; // queued or open
    QPixmap m_blank;
    int m_openRequests = 0;
    bool m_inPass = false;
    bool m_downloadEnabled = false;
};

#endif
