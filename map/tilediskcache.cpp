#include "map/tilediskcache.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

TileDiskCache::TileDiskCache(const QString &folder) : m_folder(folder) {}

QString TileDiskCache::pathFor(const TileKey &key) const
{
    return QDir(m_folder).filePath(key.toString() + QStringLiteral(".png"));
}

QImage TileDiskCache::load(const TileKey &key) const
{
    QImage image;
    if (!m_folder.isEmpty())
        image.load(pathFor(key)); // as received: not necessarily a PNG
    return image;
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
