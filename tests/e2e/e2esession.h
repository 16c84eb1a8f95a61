#ifndef VELMARO_TESTS_E2E_E2ESESSION_H
#define VELMARO_TESTS_E2E_E2ESESSION_H

#include "childprogram.h"

#include <QJsonValue>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

// One run of velmaro-e2e in a ChildProgram's home, steered over a local
// socket. Waiting never blocks the event loop, so a DemoServer in the test
// process keeps serving the program meanwhile.
class E2eSession
{
public:
    struct Reply {
        bool ok = false;
        QJsonValue value;
        QString error;
    };

    explicit E2eSession(ChildProgram *program);
    ~E2eSession();
    E2eSession(const E2eSession &) = delete;
    E2eSession &operator=(const E2eSession &) = delete;

    // Starts the program pointed at the servers and waits for its driver.
    bool start(const QString &serverBaseUrl, QString *error);
    // Sends one command and waits for its answer.
    Reply ask(const QString &command, int timeoutMs = 30000);
    QJsonValue value(const QString &command) { return ask(command).value; }
    // The first column of the first row of a query run by the program.
    QJsonValue scalar(const QString &sql);
    // Waits (serving events) until the program has ended.
    bool waitForExit(int timeoutMs = 30000);
    bool running() const;

private:
    ChildProgram *m_program;
    std::unique_ptr<QLocalServer> m_server;
    QLocalSocket *m_socket = nullptr;
    QByteArray m_buffer;
};

#endif
