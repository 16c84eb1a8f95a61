#include "ui/framerecorder.h"

#include "platform/paths.h"

#include <QDir>
#include <QGraphicsView>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

namespace
{
constexpr int frameQuality = 95;
constexpr int statusMessageMs = 8000;
} // namespace

FrameRecorder::FrameRecorder(QGraphicsView *view, QObject *parent) : QObject(parent), m_view(view)
{
}

QString FrameRecorder::movieFolder()
{
    return QDir::current().filePath(QStringLiteral("movie"));
}

QString FrameRecorder::frameFileName(int tstamp)
{
    return QDir(movieFolder()).filePath(QStringLiteral("scene.%1.jpg").arg(tstamp));
}

void FrameRecorder::toggle()
{
    m_on = !m_on;
    if (m_on) {
        m_errorShown = false;
        Paths::ensureFolder(movieFolder());
        emit message(
            tr("Bilder werden nach %1 geschrieben").arg(QDir::toNativeSeparators(movieFolder())),
            0);
    } else {
        emit message(tr("Bildaufzeichnung beendet"), statusMessageMs);
    }
}

void FrameRecorder::write(int tstamp)
{
    if (!m_on)
        return;
    const QString path = frameFileName(tstamp);
    QString problem;
    if (!Paths::ensureFolder(movieFolder())) {
        problem = tr("Ordner %1 kann nicht angelegt werden").arg(movieFolder());
    } else {
        // Logical pixels at ratio 1: the same frame size on every screen.
        QImage image(m_view->width(), m_view->height(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(1.0);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            m_view->render(&painter, QRectF(image.rect()), m_view->rect(), Qt::KeepAspectRatio);
        }
        QSaveFile file(path);
        QImageWriter writer(&file, "jpg");
        writer.setQuality(frameQuality);
        if (!file.open(QIODevice::WriteOnly))
            problem = file.errorString();
        else if (!writer.write(image))
            problem = writer.errorString();
        else if (!file.commit())
            problem = file.errorString();
    }
    if (problem.isEmpty()) {
        m_errorShown = false;
        return;
    }
    if (!m_errorShown) {
        m_errorShown = true;
        emit message(tr("Bild %1 konnte nicht geschrieben werden: %2").arg(path, problem), 0);
    }
}
