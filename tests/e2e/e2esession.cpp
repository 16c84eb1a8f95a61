#include "e2esession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUuid>

namespace
{
// Serves events for up to a moment, so replies and child output get through.
void serve()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
} // namespace

E2eSession::E2eSession(ChildProgram *program) : m_program(program) {}

E2eSession::~E2eSession()
{
    m_program->stop(5000);
}

bool E2eSession::start(const QString &serverBaseUrl, QString *error)
{
    m_server = std::make_unique<QLocalServer>();
    const QString name =
        QStringLiteral("velmaro-e2e-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!m_server->listen(name)) {
        *error = m_server->errorString();
        return false;
    }
    m_program->setEnv(QStringLiteral("VELMARO_E2E_SOCKET"), m_server->fullServerName());
    for (const char *variable :
         {"VELMARO_TRACKING_URL", "VELMARO_DOWNLOAD_URL", "VELMARO_TILE_URL"})
        m_program->setEnv(QString::fromLatin1(variable), serverBaseUrl);
    if (!m_program->start(ChildProgram::buildProgram(QStringLiteral("velmaro-e2e")))) {
        *error =
            QStringLiteral("velmaro-e2e does not start: ") + m_program->process().errorString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_server->hasPendingConnections()) {
        if (timer.elapsed() > 60000 || !running()) {
            *error = QStringLiteral("the driver did not connect");
            return false;
        }
        serve();
    }
    m_socket = m_server->nextPendingConnection();
    return true;
}

E2eSession::Reply E2eSession::ask(const QString &command, int timeoutMs)
{
    Reply reply;
    if (!m_socket || m_socket->state() != QLocalSocket::ConnectedState) {
        reply.error = QStringLiteral("not connected");
        return reply;
    }
    m_socket->write(command.toUtf8() + '\n');
    m_socket->flush();
    QElapsedTimer timer;
    timer.start();
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) < 0) {
        if (timer.elapsed() > timeoutMs || m_socket->state() != QLocalSocket::ConnectedState) {
            reply.error = QStringLiteral("no answer to ") + command;
            return reply;
        }
        serve();
        m_buffer += m_socket->readAll();
    }
    const QJsonObject object = QJsonDocument::fromJson(m_buffer.left(end)).object();
    m_buffer.remove(0, end + 1);
    reply.ok = object.value(QStringLiteral("ok")).toBool();
    reply.value = object.value(QStringLiteral("value"));
    reply.error = object.value(QStringLiteral("error")).toString();
    return reply;
}

QJsonValue E2eSession::scalar(const QString &sql)
{
    return ask(QStringLiteral("sql\t") + sql).value.toArray().at(0).toArray().at(0);
}

bool E2eSession::waitForExit(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (running()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        serve();
        m_program->process().waitForFinished(20);
    }
    return true;
}

bool E2eSession::running() const
{
    return m_program->process().state() != QProcess::NotRunning;
}
