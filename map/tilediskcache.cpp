#include "map/tilediskcache.h"

#include "map/geo.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

TileDiskCache::TileDiskCache(const QString &folder) : m_folder(folder) {}

QString TileDiskCache::pathFor(const TileKey &key) const
{
    return QDir(m_folder).filePath(key.toString() + QStringLiteral(".png"));
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
    return file.open(QIODevice::ReadOnly) ? decode(&file) : QImage();
}

bool TileDiskCache::save(const TileKey &key, const QByteArray &bytes) const
{
    if (m_folder.isEmpty() || bytes.isEmpty())
        return false;
    const QString path = pathFor(key);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
