#ifndef VELMARO_TESTS_E2E_E2EDRIVER_H
#define VELMARO_TESTS_E2E_E2EDRIVER_H

#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

class MainWindow;
class QLocalSocket;
class QTimer;
class Regatta;

// Drives the running program from outside through its public widgets: the
// menus by their texts, the legend tree, the slider, the buttons, the keys.
// Only the velmaro-e2e test build links it.
//
// One command per line, fields separated by tabs; each answer is one line of
// compact JSON, {"ok":true,"value":...} or {"ok":false,"error":"..."}.
// Commands come from the local socket named by VELMARO_E2E_SOCKET (the test
// talks to it step by step), or from the file named by VELMARO_E2E_SCRIPT,
// whose answers are appended to VELMARO_E2E_REPORT; a script may also wait:
//   wait <TAB> sql <TAB> expected value <TAB> timeout ms
//   sleep <TAB> ms
// Commands: ping, actions <menu>, trigger <menu> <action>, clicklegend <boat
// id>, key <name>, slider, setslider <moment or N%>, state, ships, sql
// <statement>, timeouts <ms>, resize <w> <h>, geometry <x> <y> <w> <h>,
// mark <text>, close.
class E2eDriver : public QObject
{
    Q_OBJECT
public:
    E2eDriver(MainWindow *window, Regatta *regatta);

    // Starts the driver named by the environment, if any; owned by the window.
    static void attach(MainWindow *window, Regatta *regatta);

    // Runs one command line; the answer as one JSON line.
    QByteArray execute(const QString &line);

private:
    void readSocket();
    void runScript();
    void writeReport(const QByteArray &line);

    QJsonValue actions(const QString &menu) const;
    bool trigger(const QString &menu, const QString &action, QString *error);
    bool clickLegend(int boatId, QString *error);
    QJsonValue state() const;
    QJsonValue ships() const;
    QJsonValue sql(const QString &statement, QString *error) const;
    QString scalar(const QString &statement) const;

    MainWindow *m_window;
    Regatta *m_regatta;
    QLocalSocket *m_socket = nullptr;
    QByteArray m_buffer;
    QStringList m_script;
    QString m_reportPath;
    QTimer *m_scriptTimer = nullptr;
    qint64 m_waitDeadline = 0;
};

#endif
