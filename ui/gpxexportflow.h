#ifndef VELMARO_UI_GPXEXPORTFLOW_H
#define VELMARO_UI_GPXEXPORTFLOW_H

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class Ship;

// "Als GPX exportieren...": asks for the file and writes the tracks of the
// shown boats that have positions.
class GpxExportFlow : public QObject
{
    Q_OBJECT
public:
    // Dialogs open over dialogParent.
    explicit GpxExportFlow(QWidget *dialogParent);

    // Asks for the file to export to; empty means cancelled. Tests replace
    // it; an empty function restores QFileDialog::getSaveFileName.
    using SaveFileChooser = std::function<QString(QWidget *parent, const QString &caption,
                                                  const QString &suggested, const QString &filter)>;
    static void setSaveFileChooser(SaveFileChooser chooser);
    // The save-file question through that chooser; other exports ask it too.
    static QString chooseSaveFile(QWidget *parent, const QString &caption, const QString &suggested,
                                  const QString &filter);

    // The race's name names the file and the document.
    void exportRace(const QString &raceName, const QList<Ship *> &ships);

signals:
    // For the status bar.
    void message(const QString &text, int timeoutMs);

private:
    QWidget *m_dialogParent;
};

#endif
