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

// A tile server on 127.0.0.1 for the map view cases that need one tile
// treated unlike the others. Every tile
// /<z>/<x>/<y>.png is a plain PNG whose colour tells which tile it is
// (colourFor), so a test can see which tile ended up where.
class TileTestServer : public QObject
{
    Q_OBJECT
public:
    enum class Action {
        Serve,
        Hold,     // answers when release() is called
        Redirect, // 302 to the path given with setRedirect
    };

    explicit TileTestServer(QObject *parent = nullptr);
    ~TileTestServer() override;

    quint16 listen();
    QString baseUrl() const;

    void setAction(const QString &path, Action action) { m_pathActions.insert(path, action); }
    void setRedirect(const QString &from, const QString &to);
    void release(); // answers the held requests

    static QColor colourFor(int zoom, int column, int row);
    static QByteArray pngFor(int zoom, int column, int row);

    QStringList requests() const { return m_requests; } // paths, in arrival order
    int heldCount() const { return int(m_held.size()); }
    void clearLog();

private:
    void handle(const QString &path, QHttpServerResponder &responder);

    QHttpServer m_server;
    quint16 m_port = 0;
    QHash<QString, Action> m_pathActions;
    QHash<QString, QString> m_redirects;
    QStringList m_requests;
    struct Held {
        std::unique_ptr<QHttpServerResponder> responder;
        QByteArray body;
    };
    std::vector<Held> m_held;
};

#endif
