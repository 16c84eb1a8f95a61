#include "app/commandline.h"

#include "app/headless.h"
#include "app/raceexports.h"
#include "app/startup.h"
#include "app/videocommand.h"
#include "scene/raceanalysis.h"
#include "scene/ship.h"
#include "scene/shiploader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSaveFile>

#include <memory>

namespace CommandLine
{

using Headless::fail;

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
    Headless::preferOffscreen();
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
    const std::optional<QPair<int, int>> numbers = Headless::parseRace(parser.value(race));
    if (!numbers)
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

    if (const QString problem = Headless::openDatabase(); !problem.isEmpty())
        return fail(problem);

    const auto [eventId, taskId] = *numbers;
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
