#ifndef VELMARO_UI_VIDEOEXPORTFLOW_H
#define VELMARO_UI_VIDEOEXPORTFLOW_H

#include "ui/videoexport.h"

#include <QDialog>
#include <QObject>

#include <functional>
#include <optional>

class QComboBox;
class QDateTimeEdit;
class QDialogButtonBox;
class QLabel;
class QWidget;

// The choices of "Video exportieren": span in local time, speed and size.
// OK stays off while the span or the speed gives no video.
class VideoExportDialog : public QDialog
{
    Q_OBJECT
public:
    // viewSize: the map view's, offered beside 1920 x 1080.
    VideoExportDialog(qint64 from, qint64 to, const QSize &viewSize, QWidget *parent = nullptr);

    qint64 from() const;
    qint64 to() const;
    int speed() const; // race seconds per video second
    QSize frameSize() const;

    QDateTimeEdit *fromEdit() const { return m_from; }
    QDateTimeEdit *toEdit() const { return m_to; }
    QComboBox *speedBox() const { return m_speed; }
    QComboBox *sizeBox() const { return m_size; }
    QLabel *lengthLabel() const { return m_length; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    void recheck();

    QDateTimeEdit *m_from;
    QDateTimeEdit *m_to;
    QComboBox *m_speed;
    QComboBox *m_size;
    QLabel *m_length;
    QDialogButtonBox *m_buttons;
};

// "Datei" -> "Video exportieren...": the dialog, the file, then the video
// behind a progress dialog whose "Abbrechen" drops it.
class VideoExportFlow : public QObject
{
    Q_OBJECT
public:
    explicit VideoExportFlow(QWidget *dialogParent);

    // Shows the dialog (tests answer it); false when it was cancelled.
    using DialogRunner = std::function<bool(VideoExportDialog &)>;
    static void setDialogRunner(DialogRunner runner);

    // request: the race and the view to start from; its span is what the
    // dialog offers.
    void exportRace(VideoExport::Request request, const QSize &viewSize);

signals:
    // For the status bar.
    void message(const QString &text, int timeoutMs);

private:
    QWidget *m_dialogParent;
};

#endif
