#include "tiletestserver.h"

#include <QBuffer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QImage>
#include <QRegularExpression>

TileTestServer::TileTestServer(QObject *parent) : QObject(parent)
{
    m_server.setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            const QString path = request.url().path();
            m_requests.append(path);
            handle(path, responder);
        });
}

TileTestServer::~TileTestServer() = default;

quint16 TileTestServer::listen()
{
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
    return m_port;
}

QString TileTestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void TileTestServer::setRedirect(const QString &from, const QString &to)
{
    m_redirects.insert(from, to);
    m_pathActions.insert(from, Action::Redirect);
}

QColor TileTestServer::colourFor(int zoom, int column, int row)
{
    return QColor(column % 256, row % 256, (zoom * 16) % 256);
}

QByteArray TileTestServer::pngFor(int zoom, int column, int row)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colourFor(zoom, column, row));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void TileTestServer::release()
{
    std::vector<Held> held;
    held.swap(m_held);
    for (Held &h : held)
        h.responder->write(h.body, "image/png");
}

void TileTestServer::clearLog()
{
    m_requests.clear();
}

void TileTestServer::handle(const QString &path, QHttpServerResponder &responder)
{
    static const QRegularExpression tilePath(QStringLiteral("^/(\\d+)/(\\d+)/(\\d+)\\.png$"));
    const QRegularExpressionMatch m = tilePath.match(path);
    if (!m.hasMatch()) {
        responder.write(QHttpServerResponder::StatusCode::NotFound);
        return;
    }
    const int zoom = m.captured(1).toInt();
    const int column = m.captured(2).toInt();
    const int row = m.captured(3).toInt();
    switch (m_pathActions.value(path, Action::Serve)) {
    case Action::Serve:
        responder.write(pngFor(zoom, column, row), "image/png");
        break;
    case Action::Hold:
        m_held.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)),
                          pngFor(zoom, column, row)});
        break;
    case Action::Redirect:
        responder.write({{"Location", m_redirects.value(path).toUtf8()}},
                        QHttpServerResponder::StatusCode::Found);
        break;
    }
}
