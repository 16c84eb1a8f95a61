#include "map/tilediskcache.h"

#include "map/geo.h"
#include "platform/seams.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace
{
const QString pngSuffix = QStringLiteral(".png");
const QString metaSuffix = QStringLiteral(".meta");
constexpr qsizetype maxMetaBytes = 4096; // a validator longer than this is not one

// A header value as one line of the metadata file.
QByteArray oneLine(const QByteArray &value)
{
    const QByteArray v = value.trimmed();
    return v.size() > 1024 || v.contains('\n') || v.contains('\r') ? QByteArray() : v;
}
} // namespace

TileMeta TileMeta::fromHeaders(const QByteArray &cacheControl, const QByteArray &expiresHeader,
                               const QByteArray &etag, const QByteArray &lastModified, qint64 now)
{
    TileMeta meta;
    meta.etag = oneLine(etag);
    meta.lastModified = oneLine(lastModified);
    static const QRegularExpression maxAge(
        QStringLiteral("(?:^|[,\\s])max-age\\s*=\\s*(\\d{1,10})"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression noCache(QStringLiteral("no-cache|no-store"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString control = QString::fromLatin1(cacheControl);
    const QRegularExpressionMatch m = maxAge.match(control);
    if (m.hasMatch()) {
        meta.expires = now + m.captured(1).toLongLong();
    } else if (noCache.match(control).hasMatch()) {
        meta.expires = now;
    } else if (!expiresHeader.trimmed().isEmpty()) {
        QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(expiresHeader.trimmed()),
                                                 QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
        when.setTimeSpec(Qt::UTC);
        meta.expires = when.isValid() ? std::max<qint64>(1, when.toSecsSinceEpoch()) : now;
    } else {
        meta.expires = now + defaultLifetime;
    }
    return meta;
}

QByteArray TileMeta::httpDate(qint64 secs)
{
    return QLocale::c()
        .toString(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC),
                  QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
        .toLatin1();
}

TileDiskCache::TileDiskCache(const QString &folder) : m_folder(folder) {}

void TileDiskCache::setFolder(const QString &folder)
{
    m_folder = folder;
    m_bytes = -1;
}

QString TileDiskCache::pathFor(const TileKey &key) const
{
    return QDir(m_folder).filePath(key.toString() + pngSuffix);
}

QString TileDiskCache::metaPathFor(const TileKey &key) const
{
    return QDir(m_folder).filePath(key.toString() + metaSuffix);
}

QImage TileDiskCache::decode(QIODevice *device)
{
    // The size comes from the header: a huge image is refused before a
    // single pixel of it is decoded.
    QImageReader reader(device); // by content: not necessarily a PNG
    if (reader.size() != QSize(Geo::tileSize, Geo::tileSize))
        return QImage();
    return reader.read();
}

QImage TileDiskCache::decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decode(&buffer);
}

QImage TileDiskCache::load(const TileKey &key) const
{
    if (m_folder.isEmpty())
        return QImage();
    QFile file(pathFor(key));
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QImage image = decode(&file);
    // Set by hand: mounts with noatime or relatime would not keep it.
    if (!image.isNull())
        file.setFileTime(Seams::now(), QFileDevice::FileAccessTime);
    return image;
}

TileMeta TileDiskCache::meta(const TileKey &key) const
{
    TileMeta meta;
    QFile file(metaPathFor(key));
    if (!m_folder.isEmpty() && file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = file.read(maxMetaBytes).split('\n');
        if (lines.size() >= 3) {
            meta.etag = oneLine(lines[0]);
            meta.lastModified = oneLine(lines[1]);
            meta.expires = std::max<qint64>(0, lines[2].trimmed().toLongLong());
        }
        return meta;
    }
    const QFileInfo png(pathFor(key));
    if (!m_folder.isEmpty() && png.exists())
        meta.lastModified = TileMeta::httpDate(png.lastModified().toSecsSinceEpoch());
    return meta;
}

bool TileDiskCache::saveMeta(const TileKey &key, const TileMeta &meta) const
{
    if (m_folder.isEmpty())
        return false;
    QSaveFile file(metaPathFor(key));
    const QByteArray text = oneLine(meta.etag) + '\n' + oneLine(meta.lastModified) + '\n' +
                            QByteArray::number(meta.expires) + '\n';
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

bool TileDiskCache::save(const TileKey &key, const QByteArray &bytes, const TileMeta &meta)
{
    if (m_folder.isEmpty() || bytes.isEmpty())
        return false;
    const QString path = pathFor(key);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const qint64 before = QFileInfo(path).size();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    saveMeta(key, meta);
    if (m_bytes >= 0)
        m_bytes += bytes.size() - before;
    if (m_bytes < 0)
        m_bytes = trim(std::numeric_limits<qint64>::max()); // counts, removes nothing
    // Down to nine tenths, so that not every new tile scans the folder.
    if (m_bytes > m_limit)
        m_bytes = trim(m_limit / 10 * 9);
    return true;
}

void TileDiskCache::setLimit(qint64 bytes)
{
    m_limit = std::max<qint64>(0, bytes);
    if (m_bytes > m_limit)
        m_bytes = trim(m_limit / 10 * 9);
}

qint64 TileDiskCache::trim(qint64 target)
{
    if (m_folder.isEmpty())
        return 0;
    struct Entry {
        QString base; // path without the suffix
        qint64 bytes = 0;
        QDateTime used;
    };
    QHash<QString, Entry> tiles;
    qint64 total = 0;
    QDirIterator it(m_folder, {QStringLiteral("*.png"), QStringLiteral("*.meta")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
        Entry &e = tiles[base];
        e.base = base;
        e.bytes += info.size();
        total += info.size();
        if (info.suffix() == QLatin1String("png"))
            e.used = info.lastRead();
    }
    if (total <= target)
        return total;
    QList<Entry> order = tiles.values();
    std::sort(order.begin(), order.end(),
              [](const Entry &a, const Entry &b) { return a.used < b.used; });
    for (const Entry &e : std::as_const(order)) {
        if (total <= target)
            break;
        QFile::remove(e.base + pngSuffix);
        QFile::remove(e.base + metaSuffix);
        total -= e.bytes;
    }
    return total;
}

void TileDiskCache::clear()
{
    if (m_folder.isEmpty())
        return;
    QDirIterator it(m_folder, {QStringLiteral("*.png"), QStringLiteral("*.meta")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QFile::remove(it.next());
    m_bytes = 0;
}
