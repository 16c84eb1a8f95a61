#include "platform/seams.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMetaEnum>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace
{
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

// One line per box: fields separated by tabs, with backslash, tab, newline
// and carriage return escaped as \\, \t, \n and \r.
QString escapeField(const QString &field)
{
    QString escaped;
    escaped.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QString buttonName(QMessageBox::StandardButton button)
{
    const char *key = QMetaEnum::fromType<QMessageBox::StandardButtons>().valueToKey(button);
    return key ? QString::fromLatin1(key) : QString::number(button);
}

// Lets the real program run unattended as a child process: every box is
// appended to the file named by VELMARO_MESSAGEBOX_LOG and answered with its
// default button instead of being shown.
bool logMessageBox(const Seams::MessageBoxRequest &request, QMessageBox::StandardButton answer)
{
    const QString path = qEnvironmentVariable("VELMARO_MESSAGEBOX_LOG");
    if (path.isEmpty())
        return false;
    QStringList buttons;
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (request.buttons & bit)
            buttons << buttonName(static_cast<QMessageBox::StandardButton>(bit));
    }
    const char *icon = QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(request.icon);
    const QStringList fields = {
        QString::fromLatin1(icon ? icon : "NoIcon"),
        escapeField(request.title),
        escapeField(request.text),
        escapeField(request.informativeText),
        buttons.join(QLatin1Char('|')),
        buttonName(answer),
    };
    QFile log(path);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n');
    return true;
}
} // namespace

namespace Seams
{

QMessageBox::StandardButton defaultAnswer(const MessageBoxRequest &request)
{
    if (request.defaultButton != QMessageBox::NoButton)
        return request.defaultButton;
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (request.buttons & bit)
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton showMessage(const MessageBoxRequest &request)
{
    if (messageHandler())
        return messageHandler()(request);
    const QMessageBox::StandardButton answer = defaultAnswer(request);
    if (logMessageBox(request, answer))
        return answer;

    QMessageBox box(request.icon, request.title, request.text, request.buttons);
    if (!request.informativeText.isEmpty())
        box.setInformativeText(request.informativeText);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    // Texts often carry what a server sent (a reason phrase, an address, a
    // race name); as rich text its markup could load local files.
    box.setTextFormat(Qt::PlainText);
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
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
