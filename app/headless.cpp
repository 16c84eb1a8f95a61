#include "app/headless.h"

#include "app/startup.h"
#include "platform/paths.h"
#include "platform/seams.h"

#include <QRegularExpression>

#include <cstdio>

namespace Headless
{

int fail(const QString &message, int status)
{
    std::fprintf(stderr, "velmaro: %s\n", qPrintable(message));
    return status;
}

void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::optional<QPair<int, int>> parseRace(const QString &text)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\d{1,9})/(\\d{1,9})$")).match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return qMakePair(match.captured(1).toInt(), match.captured(2).toInt());
}

QString openDatabase()
{
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &request) {
        std::fprintf(stderr, "velmaro: %s\n", qPrintable(request.text));
        return Seams::defaultAnswer(request);
    });
    Startup::prepareDataFolder();
    if (Startup::openDatabase(Paths::databasePath()) != Startup::DatabaseStatus::Ready)
        return QStringLiteral("cannot open the database %1").arg(Paths::databasePath());
    return QString();
}

} // namespace Headless
