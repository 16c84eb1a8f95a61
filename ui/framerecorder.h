#ifndef VELMARO_UI_FRAMERECORDER_H
#define VELMARO_UI_FRAMERECORDER_H

#include <QObject>
#include <QString>

class QGraphicsView;

// "Bilder aufzeichnen": while on, every moment shown is written as a JPEG
// of the map view to "movie" below the working directory. A failure is
// reported once until a frame succeeds again.
class FrameRecorder : public QObject
{
    Q_OBJECT
public:
    // The view is not owned.
    explicit FrameRecorder(QGraphicsView *view, QObject *parent = nullptr);

    static QString movieFolder();
    static QString frameFileName(int tstamp);

    bool isOn() const { return m_on; }
    void toggle();
    // Writes the frame of this moment when recording is on.
    void write(int tstamp);

signals:
    // For the status bar; 0 ms: until the next message.
    void message(const QString &text, int timeoutMs);

private:
    QGraphicsView *m_view;
    bool m_on = false;
    bool m_errorShown = false;
};

#endif
