#ifndef VELMARO_UI_VIDEOEXPORT_H
#define VELMARO_UI_VIDEOEXPORT_H

#include "map/geo.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// The replay of a stored race as an MP4. It builds a map view and boats of
// its own off screen (the window's map is left alone), moves them through
// the frames of a VideoPlan, waits for the tiles of each frame, and hands
// every picture with the race name, the moment and the map's credit to a
// VideoEncoder.
class VideoExport
{
    Q_DECLARE_TR_FUNCTIONS(VideoExport)
public:
    struct Request {
        int eventId = 0;
        int taskId = 0;
        QString raceName;
        qint64 from = 0;
        qint64 to = 0;
        int speed = 60; // race seconds per video second
        QSize size{1920, 1080};
        // The view at the first frame; a followed boat moves it. With
        // fitFleet and no followed boat the view is fitted to the fleet at the
        // first frame and again whenever a boat leaves it.
        GeoPoint centre;
        int zoom = 10;
        bool fitFleet = false;
        bool completeTracks = false;
        bool sailNumbers = false;
        bool seamarks = false;
        bool loadMaps = true;
        // Tile servers and cache folders as the window's map has them;
        // empty: the defaults.
        QString tileServer;
        QString tileCache;
        QString seamarkServer;
        QString seamarkCache;
    };
    enum class Outcome { Written, Cancelled, Failed };
    // After each frame: frames done, frames in all; false cancels.
    using Progress = std::function<bool(int done, int total)>;

    // Nothing is left at path unless the outcome is Written.
    Outcome write(const Request &request, const QString &path, const Progress &progress = {});
    // Why the last write failed.
    QString error() const { return m_error; }

    // How long one frame waits for its tiles at most.
    void setTileWait(int ms) { m_tileWaitMs = ms; }

    // Race name and moment in the top left corner of a frame of that size.
    static void drawCaption(QPainter *painter, const QSize &frame, const QString &raceName,
                            qint64 moment);

private:
    QString m_error;
    int m_tileWaitMs = 25000;
};

#endif
