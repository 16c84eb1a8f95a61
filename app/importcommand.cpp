#include "app/importcommand.h"

#include "app/headless.h"
#include "app/startup.h"
#include "platform/config.h"
#include "tracking/trackimport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>

#include <cstdio>
#include <memory>

namespace ImportCommand
{

using Headless::fail;

bool wanted(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--import" || arg.startsWith("--import="))
            return true;
    }
    return false;
}

int run(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Startup::setIdentity();
    // The reasons are for the user, in the interface's language.
    const std::unique_ptr<QSettings> settings(Config::windowSettings());
    Startup::installTranslators(Startup::uiLanguage(*settings));
    QCommandLineParser parser;
    const QCommandLineOption import(QStringLiteral("import"), QStringLiteral("A GPX or NMEA file."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("The race's name."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption klasse(QStringLiteral("class"),
                                    QStringLiteral("The class of every boat."),
                                    QStringLiteral("NAME"));
    parser.addOptions({import, name, klasse});
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    // "--import a.gpx b.gpx": the files after the first come as positional arguments.
    const QStringList files = parser.values(import) + parser.positionalArguments();
    if (files.isEmpty())
        return fail(QStringLiteral("--import needs at least one GPX or NMEA file"));
    if (parser.value(name).trimmed().isEmpty())
        return fail(QStringLiteral("--name needs the race's name"));

    const TrackImport::Batch batch = TrackImport::readFiles(files);
    QStringList problems = batch.refusals() + batch.partialNotes();
    if (!problems.isEmpty())
        return fail(problems.join(QStringLiteral("\nvelmaro: ")));
    QVector<TrackImport::Boat> boats = batch.boats();
    if (parser.isSet(klasse)) {
        for (TrackImport::Boat &boat : boats)
            boat.klasse = parser.value(klasse);
    }

    if (const QString problem = Headless::openDatabase(); !problem.isEmpty())
        return fail(problem);
    const ImportedRace::Result stored =
        TrackImport::storeRace(parser.value(name), boats, batch.marks());
    Database::close();
    if (!stored.ok)
        return fail(QStringLiteral("cannot store the race: %1").arg(stored.error));
    std::printf("%d/%d\n", stored.race.eventId, stored.race.taskId);
    return 0;
}

} // namespace ImportCommand
