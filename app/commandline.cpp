#include "app/commandline.h"

#include "app/startup.h"
#include "app/videocommand.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "scene/raceanalysis.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/racestore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace CommandLine
{

namespace
{

int fail(const QString &message)
{
    std::fprintf(stderr, "velmaro: %s\n", qPrintable(message));
    return 2;
}

} // namespace

bool wantsExport(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--export" || arg.startsWith("--export="))
            return true;
    }
    return false;
}

int runExport(int argc, char *argv[])
{
    if (VideoCommand::wanted(argc, argv))
        return VideoCommand::run(argc, argv);
    // No display needed: the export draws nothing.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Startup::setIdentity();
    QCommandLineParser parser;
    const QCommandLineOption race(QStringLiteral("race"), QStringLiteral("The race."),
                                  QStringLiteral("EVENT/TASK"));
    const QCommandLineOption kind(QStringLiteral("export"), QStringLiteral("What to export."),
                                  QStringLiteral("manoeuvres|wind"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The file to write."),
                                    QStringLiteral("FILE"));
    parser.addOptions({race, kind, output});
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\d{1,9})/(\\d{1,9})$")).match(parser.value(race));
    if (!match.hasMatch())
        return fail(QStringLiteral("--race needs EVENT/TASK, two positive numbers"));
    const QString what = parser.value(kind);
    if (what != QLatin1String("manoeuvres") && what != QLatin1String("wind"))
        return fail(
            QStringLiteral("--export takes manoeuvres, wind or video, not \"%1\"").arg(what));
    if (parser.value(output).isEmpty())
        return fail(QStringLiteral("--output needs a file name"));

    // The database's own messages go to standard error, not into boxes.
    Seams::setMessageBoxHandler([](const Seams::MessageBoxRequest &request) {
        std::fprintf(stderr, "velmaro: %s\n", qPrintable(request.text));
        return Seams::defaultAnswer(request);
    });
    Startup::prepareDataFolder();
    if (Startup::openDatabase(Paths::databasePath()) != Startup::DatabaseStatus::Ready)
        return fail(QStringLiteral("cannot open the database %1").arg(Paths::databasePath()));

    const int eventId = match.captured(1).toInt();
    const int taskId = match.captured(2).toInt();
    Race chosen;
    for (const Race &r : RaceStore::races())
        if (r.eventId == eventId && r.taskId == taskId)
            chosen = r;
    if (chosen.id == 0)
        return fail(QStringLiteral("no race %1/%2 in the database").arg(eventId).arg(taskId));

    ShipLoader loader;
    QList<Ship *> ships = loader.loadShips(eventId);
    for (Ship *ship : std::as_const(ships))
        loader.loadTrack(ship);
    RaceAnalysis analysis;
    analysis.update(ships);
    const QByteArray csv = what == QLatin1String("manoeuvres")
                               ? analysis.manoeuvresCsv(ships)
                               : analysis.windCsv(chosen.start, chosen.end);
    qDeleteAll(ships);

    QSaveFile file(parser.value(output));
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit())
        return fail(
            QStringLiteral("cannot write %1: %2").arg(parser.value(output), file.errorString()));
    return 0;
}

} // namespace CommandLine
