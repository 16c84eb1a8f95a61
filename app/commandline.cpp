#include "app/commandline.h"

#include "app/raceexports.h"
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

int fail(const QString &message, int status = 2)
{
    std::fprintf(stderr, "velmaro: %s\n", qPrintable(message));
    return status;
}

} // namespace

bool wantsExport(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--export" || arg.startsWith("--export=") || arg == "--fetch")
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
                                  QStringLiteral("leaderboard|gpx|manoeuvres|wind"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The file to write."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption at(QStringLiteral("at"), QStringLiteral("The moment of the list."),
                                QStringLiteral("TIME"));
    const QCommandLineOption fetch(QStringLiteral("fetch"),
                                   QStringLiteral("Download the race from the service first."));
    parser.addOptions({race, kind, output, at, fetch});
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
    const QStringList kinds{QStringLiteral("leaderboard"), QStringLiteral("gpx"),
                            QStringLiteral("manoeuvres"), QStringLiteral("wind")};
    const bool fetchOnly = parser.isSet(fetch) && !parser.isSet(kind);
    if (!fetchOnly && !kinds.contains(what))
        return fail(QStringLiteral("--export takes %1 or video, not \"%2\"")
                        .arg(kinds.join(QStringLiteral(", ")), what));
    if (!fetchOnly && parser.value(output).isEmpty())
        return fail(QStringLiteral("--output needs a file name"));
    const std::optional<qint64> moment = RaceExports::parseMoment(parser.value(at));
    if (parser.isSet(at) && (what != kinds.first() || !moment))
        return fail(what != kinds.first() ? QStringLiteral("--at belongs to --export leaderboard")
                                          : QStringLiteral("--at needs an ISO 8601 time such as "
                                                           "2011-04-19T16:00:00Z, not \"%1\"")
                                                .arg(parser.value(at)));

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
    QString problem;
    const std::optional<Race> found =
        RaceExports::findRace(eventId, taskId, parser.isSet(fetch), &problem);
    if (!found && !problem.isEmpty())
        return fail(problem, 1);
    if (!found)
        return fail(QStringLiteral("no race %1/%2 in the database").arg(eventId).arg(taskId));
    const Race chosen = *found;
    if (parser.isSet(fetch) && !(problem = RaceExports::fetch(chosen)).isEmpty())
        return fail(problem, 1);
    if (fetchOnly)
        return 0;
    if (what == QLatin1String("leaderboard") || what == QLatin1String("gpx")) {
        problem = what == QLatin1String("gpx")
                      ? RaceExports::writeGpx(chosen, parser.value(output))
                      : RaceExports::writeLeaderboard(chosen, moment, parser.value(output));
        return problem.isEmpty() ? 0 : fail(problem);
    }

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
