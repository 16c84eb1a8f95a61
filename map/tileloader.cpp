#include "map/tileloader.h"

#include "platform/identity.h"
#include "platform/replylimits.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <exception>

TileLoader::TileLoader(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)),
      m_timeoutMs(Identity::tileTimeoutMs), m_blank(Geo::tileSize, Geo::tileSize)
{
    m_blank.fill(Qt::lightGray);
}

TileLoader::~TileLoader()
{
    // Replies still open are aborted with the manager; none may reach a
    // loader that is going away.
    const auto replies = m_network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies)
        reply->disconnect(this);
}

void TileLoader::setTileServer(const QString &baseUrl)
{
    m_server = baseUrl;
    while (m_server.endsWith(QLatin1Char('/')))
        m_server.chop(1);
}

void TileLoader::setProjection(const MapProjection &projection)
{
    m_projection = projection;
    prune();
}

QRect TileLoader::retentionRect() const
{
    return m_projection.visibleTiles().adjusted(-2, -2, 2, 2);
}

const QPixmap &TileLoader::tile(int column, int row) const
{
    const auto it = m_cache.constFind(TileKey{m_projection.zoom(), column, row});
    return it == m_cache.constEnd() ? m_blank : it.value();
}

std::optional<QPixmap> TileLoader::cached(const TileKey &key) const
{
    const auto it = m_cache.constFind(key);
    if (it == m_cache.constEnd())
        return std::nullopt;
    return it.value();
}

bool TileLoader::holdsBlank(const TileKey &key) const
{
    const auto it = m_cache.constFind(key);
    return it != m_cache.constEnd() && it.value().cacheKey() == m_blank.cacheKey();
}

void TileLoader::download()
{
    if (m_inPass)
        return;
    m_inPass = true;
    // Running out of memory while decoding one tile must not take the view
    // down; the pass ends and the next refresh or reply starts another.
    try {
        while (const std::optional<TileKey> key = nextMissing()) {
            const QImage image = m_disk.load(*key);
            if (!image.isNull()) {
                store(*key, QPixmap::fromImage(image));
            } else if (!m_downloadEnabled) {
                m_offlineBlanks.insert(*key);
                store(*key, m_blank);
            } else {
                fetch(*key);
            }
        }
    } catch (const std::exception &e) {
        qWarning("Map tiles: pass stopped early: %s", e.what());
    }
    m_inPass = false;
}

std::optional<TileKey> TileLoader::nextMissing() const
{
    const QRect visible = m_projection.visibleTiles();
    if (m_projection.width() <= 0 || m_projection.height() <= 0 || visible.isNull())
        return std::nullopt;
    const int zoom = m_projection.zoom();
    const qint64 n = qint64(m_projection.n());
    for (int c = visible.right() + 1; c >= visible.left(); --c) {
        if (c < 0 || c >= n)
            continue; // off the grid: nothing to fetch, the others still are
        for (int r = visible.top(); r <= visible.bottom() + 1; ++r) {
            if (r < 0 || r >= n)
                continue;
            const TileKey key{zoom, c, r};
            if (!m_cache.contains(key))
                return key;
        }
    }
    return std::nullopt;
}

void TileLoader::fetch(const TileKey &key)
{
    const QUrl url(m_server + QLatin1Char('/') + key.toString() + QStringLiteral(".png"));
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", Identity::tileUserAgent);
    request.setTransferTimeout(m_timeoutMs);

    emit transferStarted();
    ++m_openRequests;
    QNetworkReply *reply = m_network->get(request);
    // A tile over the cap is a failed tile.
    ReplyLimits::apply(reply, Identity::tileMaxBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] { handleReply(reply, key); });
    // Placeholder, so the next choice passes over this tile.
    m_cache.insert(key, m_blank);
    emit tileRequested(key);
}

void TileLoader::handleReply(QNetworkReply *reply, const TileKey &key)
{
    reply->deleteLater();
    --m_openRequests;

    if (reply->error() != QNetworkReply::NoError) {
        if (isCurrent(key))
            m_cache.insert(key, m_blank);
    } else {
        // Only a 256 x 256 image goes to disk, byte for byte; anything else
        // leaves the placeholder blank, so the tile is not asked for again
        // while it stays within the retention rectangle.
        const QByteArray bytes = reply->readAll();
        const QImage image = TileDiskCache::decode(bytes);
        if (!image.isNull()) {
            // A reply of another zoom level is kept on disk for later but not
            // shown at this one.
            if (isCurrent(key))
                m_cache.insert(key, QPixmap::fromImage(image));
            m_disk.save(key, bytes);
        }
    }
    if (isCurrent(key))
        emit updated(m_projection.tileRect(key.column, key.row));
    prune();
    emit transferFinished();
    download();
}

void TileLoader::store(const TileKey &key, const QPixmap &pixmap)
{
    m_cache.insert(key, pixmap);
    prune();
    emit updated(m_projection.tileRect(key.column, key.row));
}

void TileLoader::forgetOfflineBlanks()
{
    for (const TileKey &key : std::as_const(m_offlineBlanks)) {
        if (holdsBlank(key))
            m_cache.remove(key);
    }
    m_offlineBlanks.clear();
}

void TileLoader::prune()
{
    const QRect keep = retentionRect();
    const int zoom = m_projection.zoom();
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        if (it.key().zoom != zoom || !keep.contains(it.key().column, it.key().row)) {
            m_offlineBlanks.remove(it.key());
            it = m_cache.erase(it);
        } else
            ++it;
    }
}
