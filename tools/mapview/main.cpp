// The map view on its own: drag to pan, wheel or +/- to zoom, arrow keys to
// move by a tile. The status bar shows the cursor's position and the open
// tile transfers. Tiles come from VELMARO_TILE_URL (or the configured tile
// server) and are cached in the data folder's "maps". With --screenshot FILE
// it saves the window once every tile has arrived and quits.

#include "map/karte.h"
#include "map/scheme.h"
#include "map/tileloader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

namespace
{

class Window : public QMainWindow
{
public:
    Window()
    {
        m_map = new Karte(new Scheme(this), this);
        m_map->setDownloadEnabled(true);
        setCentralWidget(m_map);
        m_position = new QLabel(this);
        m_transfers = new QLabel(this);
        statusBar()->addWidget(m_position, 1);
        statusBar()->addPermanentWidget(m_transfers);
        m_map->setCenterGeo(42.986766, 16.0203);
        m_map->setZoomLevel(10);
        m_map->setFocus();
        resize(1024, 768);
        showTransfers();

        connect(m_map, &Karte::cursorMoved, this,
                [this](int x, int y, qreal lat, qreal lng, int zoom) {
                    m_position->setText(QStringLiteral("%1, %2   %3° %4°   Zoom %5")
                                            .arg(x)
                                            .arg(y)
                                            .arg(lat, 0, 'f', 6)
                                            .arg(lng, 0, 'f', 6)
                                            .arg(zoom));
                });
        connect(m_map, &Karte::zoomChanged, this,
                [this](int zoom) { m_position->setText(QStringLiteral("Zoom %1").arg(zoom)); });
        connect(m_map, &Karte::clicked, this, [this](int x, int y) {
            statusBar()->showMessage(QStringLiteral("Klick bei %1, %2").arg(x).arg(y), 2000);
        });
        connect(m_map->tileLoader(), &TileLoader::transferStarted, this, [this] {
            ++m_open;
            showTransfers();
        });
        connect(m_map->tileLoader(), &TileLoader::transferFinished, this, [this] {
            --m_open;
            showTransfers();
        });
    }

    int openTransfers() const { return m_open; }

private:
    void showTransfers() { m_transfers->setText(QStringLiteral("Transfers: %1").arg(m_open)); }

    Karte *m_map;
    QLabel *m_position;
    QLabel *m_transfers;
    int m_open = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the loaded map to <file> and quit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    Window window;
    window.show();
    if (parser.isSet(screenshot)) {
        auto *poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&] {
            if (window.openTransfers() > 0)
                return;
            window.grab().save(parser.value(screenshot));
            app.quit();
        });
        poll->start(200);
    }
    return app.exec();
}
