#include "ui/gpxexportflow.h"

#include "platform/seams.h"
#include "scene/gpxexport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace
{
constexpr int statusMessageMs = 8000;

GpxExportFlow::SaveFileChooser &saveFileChooser()
{
    static GpxExportFlow::SaveFileChooser chooser;
    return chooser;
}
} // namespace

GpxExportFlow::GpxExportFlow(QWidget *dialogParent)
    : QObject(dialogParent), m_dialogParent(dialogParent)
{
}

void GpxExportFlow::setSaveFileChooser(SaveFileChooser chooser)
{
    saveFileChooser() = std::move(chooser);
}

QString GpxExportFlow::chooseSaveFile(QWidget *parent, const QString &caption,
                                      const QString &suggested, const QString &filter)
{
    return saveFileChooser() ? saveFileChooser()(parent, caption, suggested, filter)
                             : QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void GpxExportFlow::exportRace(const QString &raceName, const QList<Ship *> &ships)
{
    const QString title = tr("Als GPX exportieren");
    const QList<Gpx::Track> tracks = Gpx::tracksOf(ships);
    if (tracks.isEmpty()) {
        Seams::information(title, tr("Keine angezeigten Boote mit Positionsdaten."));
        return;
    }
    QString name = raceName;
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(folder).filePath(
        (name.trimmed().isEmpty() ? QStringLiteral("regatta") : name) + QStringLiteral(".gpx"));
    const QString filter = tr("GPX-Dateien (*.gpx)");
    QString path = chooseSaveFile(m_dialogParent, title, suggested, filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".gpx");

    Gpx::Document document;
    document.name = raceName;
    document.time = Seams::now();
    document.tracks = tracks;
    const QString problem = Gpx::write(path, document);
    if (!problem.isEmpty()) {
        Seams::critical(title, problem, QMessageBox::Ok);
        return;
    }
    const QString boats = tracks.size() == 1 ? tr("1 Boot") : tr("%1 Boote").arg(tracks.size());
    emit message(tr("%1 nach %2 exportiert").arg(boats, QDir::toNativeSeparators(path)),
                 statusMessageMs);
}
