#ifndef VELMARO_UPDATE_VUUPDATEDOWNLOADPROGRESS_H
#define VELMARO_UPDATE_VUUPDATEDOWNLOADPROGRESS_H

#include <QDialog>

class QFrame;
class QGridLayout;
class QLabel;
class QProgressBar;
class QVBoxLayout;

// Shows the installer download's progress; its cancel button rejects it.
class VuUpdateDownloadProgress : public QDialog
{
    Q_OBJECT
public:
    explicit VuUpdateDownloadProgress(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    int value() const;

public slots:
    // Percentage truncated toward zero; an unknown or zero total leaves the
    // bar as it is.
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    // Closes the dialog and schedules it for deletion.
    void close();

private:
    void setupUi();

    QGridLayout *gridLayout = nullptr;
    QFrame *frame = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *label = nullptr;
    QProgressBar *progress = nullptr;
};

#endif
