#ifndef VELMARO_APP_PLATFORM_SEAMS_H
#define VELMARO_APP_PLATFORM_SEAMS_H

#include <QDateTime>
#include <QList>
#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The few places where the program touches the user or the operating system
// directly. Each goes through one replaceable function so tests never block
// on a box, never wait for the wall clock and never start or end a process.
namespace Seams
{

struct MessageBoxRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // Replacement captions, e.g. {Yes, "Ja"}.
    QList<QPair<QMessageBox::StandardButton, QString>> buttonTexts;
};

using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxRequest &)>;

// Shows a modal box (or asks the installed handler) and returns the answer.
// Without a handler and with VELMARO_MESSAGEBOX_LOG naming a file, the box is
// appended to that file as one line instead and answered with defaultAnswer():
//   icon TAB title TAB text TAB informativeText TAB buttons TAB answer
// (icon and buttons as enum key names, buttons joined by "|"; backslash, tab,
// newline and carriage return in texts escaped as \\, \t, \n, \r).
QMessageBox::StandardButton showMessage(const MessageBoxRequest &request);
// The request's default button, else the first of its buttons.
QMessageBox::StandardButton defaultAnswer(const MessageBoxRequest &request);
// An empty handler restores real boxes.
void setMessageBoxHandler(MessageBoxHandler handler);

QMessageBox::StandardButton information(const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
QMessageBox::StandardButton critical(const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Cancel);

// "Now". Tests install a clock; an empty function restores the system clock.
QDateTime now();
qint64 nowSecs();
void setClock(std::function<QDateTime()> clock);

// Opens a URL in the system browser through QDesktopServices (tests install a
// URL handler there).
bool openUrl(const QUrl &url);

// Ends the process at once with the given status, without running the event
// loop to its end. Tests replace it with a recorder.
void exitProcess(int status);
void setExitHandler(std::function<void(int)> handler);

// Starts a program detached from this one. Tests replace it with a recorder.
bool startProcess(const QString &program, const QStringList &arguments = {});
void setProcessStarter(std::function<bool(const QString &, const QStringList &)> starter);

} // namespace Seams

#endif
