#include "map/tileloader.h"

#include "platform/identity.h"
#include "platform/replylimits.h"
#include "platform/seams.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
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
                if (m_downloadEnabled && m_disk.meta(*key).expiredAt(Seams::nowSecs()))
                    enqueue(*key, true);
            } else if (!m_downloadEnabled) {
                m_offlineBlanks.insert(*key);
                store(*key, m_blank);
            } else {
                // Placeholder, so the next choice passes over this tile.
                m_cache.insert(*key, m_blank);
                enqueue(*key, false);
            }
        }
    } catch (const std::exception &e) {
        qWarning("Map tiles: pass stopped early: %s", e.what());
    }
    m_inPass = false;
    sendQueued();
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

void TileLoader::enqueue(const TileKey &key, bool revalidate)
{
    if (m_inFlight.contains(key))
        return;
    m_inFlight.insert(key);
    // A missing tile goes before the revalidations: those tiles are shown already.
    auto at = m_queue.end();
    if (!revalidate)
        at = std::find_if(m_queue.begin(), m_queue.end(),
                          [](const Pending &p) { return p.revalidate; });
    m_queue.insert(at, {key, revalidate});
}

bool TileLoader::wanted(const TileKey &key) const
{
    return isCurrent(key) && retentionRect().contains(key.column, key.row);
}

void TileLoader::sendQueued()
{
    while (m_openRequests < maxConnections && !m_queue.isEmpty()) {
        const Pending next = m_queue.takeFirst();
        if (!wanted(next.key)) {
            m_inFlight.remove(next.key);
            continue;
        }
        const TileKey key = next.key;
        const TileMeta sent = next.revalidate ? m_disk.meta(key) : TileMeta();
        QNetworkRequest request(
            QUrl(m_server + QLatin1Char('/') + key.toString() + QStringLiteral(".png")));
        request.setRawHeader("User-Agent", Identity::tileUserAgent);
        request.setTransferTimeout(m_timeoutMs);
        if (!sent.etag.isEmpty())
            request.setRawHeader("If-None-Match", sent.etag);
        if (!sent.lastModified.isEmpty())
            request.setRawHeader("If-Modified-Since", sent.lastModified);

        emit transferStarted();
        ++m_openRequests;
        QNetworkReply *reply = m_network->get(request);
        // A tile over the cap is a failed tile.
        ReplyLimits::apply(reply, Identity::tileMaxBytes);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, key, sent, revalidate = next.revalidate] {
                    handleReply(reply, key, sent, revalidate);
                });
        emit tileRequested(key);
    }
}

void TileLoader::handleReply(QNetworkReply *reply, const TileKey &key, const TileMeta &sent,
                             bool revalidate)
{
    reply->deleteLater();
    --m_openRequests;
    m_inFlight.remove(key);

    const qint64 now = Seams::nowSecs();
    TileMeta meta =
        TileMeta::fromHeaders(reply->rawHeader("Cache-Control"), reply->rawHeader("Expires"),
                              reply->rawHeader("ETag"), reply->rawHeader("Last-Modified"), now);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        // A failed revalidation keeps the tile shown.
        if (isCurrent(key) && !m_cache.contains(key))
            m_cache.insert(key, m_blank);
    } else if (status == 304 && revalidate) {
        // Still valid: only the expiry moves on, the file stays as it is.
        if (meta.etag.isEmpty())
            meta.etag = sent.etag;
        if (meta.lastModified.isEmpty())
            meta.lastModified = sent.lastModified;
        m_disk.saveMeta(key, meta);
        if (isCurrent(key) && holdsBlank(key)) {
            const QImage image = m_disk.load(key);
            if (!image.isNull())
                m_cache.insert(key, QPixmap::fromImage(image));
        }
    } else {
        // Only a 256 x 256 image goes to disk, byte for byte; anything else
        // leaves the placeholder blank (or the revalidated tile shown), so the
        // tile is not asked for again while it stays within the retention
        // rectangle.
        const QByteArray bytes = reply->readAll();
        const QImage image = TileDiskCache::decode(bytes);
        if (!image.isNull()) {
            // A reply of another zoom level is kept on disk for later but not
            // shown at this one.
            if (isCurrent(key))
                m_cache.insert(key, QPixmap::fromImage(image));
            m_disk.save(key, bytes, meta);
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

void TileLoader::clearCache()
{
    m_disk.clear();
    forgetTiles();
}

void TileLoader::forgetTiles()
{
    m_cache.clear();
    m_offlineBlanks.clear();
    for (const Pending &p : std::as_const(m_queue))
        m_inFlight.remove(p.key);
    m_queue.clear();
}

void TileLoader::setTransparentBlank(bool on)
{
    m_blank = QPixmap(Geo::tileSize, Geo::tileSize);
    m_blank.fill(on ? QColor(Qt::transparent) : QColor(Qt::lightGray));
    m_cache.clear();
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
    // Waiting requests of tiles no longer wanted go; open ones run on.
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (!wanted(it->key)) {
            m_inFlight.remove(it->key);
            it = m_queue.erase(it);
        } else
            ++it;
    }
}
