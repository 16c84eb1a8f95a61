#ifndef VELMARO_UI_CURSORSTATUS_H
#define VELMARO_UI_CURSORSTATUS_H

#include <QObject>

class QLabel;
class QStatusBar;

// The status bar's permanent labels: the map data credit and the cursor's
// latitude, longitude and zoom level.
class CursorStatus : public QObject
{
    Q_OBJECT
public:
    // Adds the labels to the bar.
    explicit CursorStatus(QStatusBar *bar);

public slots:
    void showCursor(int x, int y, qreal lat, qreal lng, int zoom);
    void showZoom(int zoom);

private:
    QLabel *m_latLabel;
    QLabel *m_lngLabel;
    QLabel *m_zoomLabel;
};

#endif
