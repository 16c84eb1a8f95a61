#ifndef VELMARO_TESTS_MAP_TILETESTSERVER_H
#define VELMARO_TESTS_MAP_TILETESTSERVER_H

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QHttpServer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QHttpServerResponder;

// A tile server on 127.0.0.1 for the map view tests. Every tile
// /<z>/<x>/<y>.png is a plain PNG whose colour tells which tile it is
// (colourFor), so a test can see which tile ended up where.
class TileTestServer : public QObject
{
    Q_OBJECT
public:
    enum class Action {
        Serve,
        Fail,     // HTTP 500
        Hang,     // never answers
        Hold,     // answers when release() is called
        Redirect, // 302 to the path given with setRedirect
    };

    explicit TileTestServer(QObject *parent = nullptr);
    ~TileTestServer() override;

    quint16 listen();
    QString baseUrl() const;

    void setAction(const QString &path, Action action) { m_pathActions.insert(path, action); }
    void setZoomAction(int zoom, Action action) { m_zoomActions.insert(zoom, action); }
    void setRedirect(const QString &from, const QString &to);
    void release(); // answers the held requests

    static QColor colourFor(int zoom, int column, int row);
    static QByteArray pngFor(int zoom, int column, int row);

    QStringList requests() const { return m_requests; } // paths, in arrival order
    QList<QByteArray> userAgents() const { return m_userAgents; }
    int heldCount() const { return int(m_held.size()); }
    void clearLog();

signals:
    void requestArrived(const QString &path);

private:
    void handle(const QString &path, QHttpServerResponder &responder, bool &keep);
    Action actionFor(const QString &path, int zoom) const;

    QHttpServer m_server;
    quint16 m_port = 0;
    QHash<QString, Action> m_pathActions;
    QHash<int, Action> m_zoomActions;
    QHash<QString, QString> m_redirects;
    QStringList m_requests;
    QList<QByteArray> m_userAgents;
    struct Held {
        std::unique_ptr<QHttpServerResponder> responder;
        QByteArray body;
    };
    std::vector<Held> m_held;
    std::vector<std::unique_ptr<QHttpServerResponder>> m_hung;
};

#endif
