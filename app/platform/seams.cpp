#include "seams.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace {
Seams::MessageBoxHandler &messageHandler()
{
    static Seams::MessageBoxHandler handler;
    return handler;
}
std::function<QDateTime()> &clockFunction()
{
    static std::function<QDateTime()> clock;
    return clock;
}
std::function<void(int)> &exitFunction()
{
    static std::function<void(int)> handler;
    return handler;
}
std::function<bool(const QString &, const QStringList &)> &starterFunction()
{
    static std::function<bool(const QString &, const QStringList &)> starter;
    return starter;
}
} // namespace

namespace Seams {

QMessageBox::StandardButton showMessage(const MessageBoxRequest &request)
{
    if (messageHandler())
        return messageHandler()(request);

    QMessageBox box(request.icon, request.title, request.text, request.buttons);
    if (!request.informativeText.isEmpty())
        box.setInformativeText(request.informativeText);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    for (const auto &caption : request.buttonTexts) {
        if (QAbstractButton *button = box.button(caption.first))
            button->setText(caption.second);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void setMessageBoxHandler(MessageBoxHandler handler)
{
    messageHandler() = std::move(handler);
}

QMessageBox::StandardButton information(const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons)
{
    MessageBoxRequest request;
    request.icon = QMessageBox::Information;
    request.title = title;
    request.text = text;
    request.buttons = buttons;
    return showMessage(request);
}

QMessageBox::StandardButton critical(const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons)
{
    MessageBoxRequest request;
    request.icon = QMessageBox::Critical;
    request.title = title;
    request.text = text;
    request.buttons = buttons;
    return showMessage(request);
}

QDateTime now()
{
    if (clockFunction())
        return clockFunction()();
    return QDateTime::currentDateTime();
}

qint64 nowSecs()
{
    return now().toSecsSinceEpoch();
}

void setClock(std::function<QDateTime()> clock)
{
    clockFunction() = std::move(clock);
}

bool openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

void exitProcess(int status)
{
    if (exitFunction()) {
        exitFunction()(status);
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

void setExitHandler(std::function<void(int)> handler)
{
    exitFunction() = std::move(handler);
}

bool startProcess(const QString &program, const QStringList &arguments)
{
    if (starterFunction())
        return starterFunction()(program, arguments);
    return QProcess::startDetached(program, arguments);
}

void setProcessStarter(std::function<bool(const QString &, const QStringList &)> starter)
{
    starterFunction() = std::move(starter);
}

} // namespace Seams
