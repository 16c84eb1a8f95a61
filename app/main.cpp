#include "app/commandline.h"
#include "app/importcommand.h"
#include "app/startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace
{

constexpr const char *infoOptions[] = {"-h", "--help", "--help-all", "-v", "--version"};

bool isInfoOption(const char *argument)
{
    for (const char *option : infoOptions) {
        if (std::strcmp(argument, option) == 0)
            return true;
    }
    return false;
}

// --help and --version answer on standard output without a display or a
// database; anything else starts the viewer as before.
void answerInfo(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Startup::setIdentity();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Live-Tracking von Segelregatten auf der Karte verfolgen und abspielen\n\n"
        "Ohne Fenster: --race EVENT/TASK [--fetch] [--at ZEIT]\n"
        "                --export leaderboard|gpx|manoeuvres|wind --output DATEI\n"
        "              --race EVENT/TASK --export video --from T1 --to T2 "
        "[--speed S] [--size BxH] --output DATEI.mp4\n"
        "              --import DATEI... --name NAME [--class KLASSE]\n"
        "Ein Moment: velmaro velmaro://race/EVENT/TASK?time=...&centre=...&zoom=..."));
    parser.addHelpOption();
    parser.addVersionOption();
    // Only the info options: Qt's own (-platform, ...) are no errors here.
    QStringList arguments{QString::fromLocal8Bit(argv[0])};
    for (int i = 1; i < argc; ++i) {
        if (isInfoOption(argv[i]))
            arguments << QString::fromLatin1(argv[i]);
    }
    parser.process(arguments); // prints and exits
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (isInfoOption(argv[i]))
            answerInfo(argc, argv);
    }
    if (ImportCommand::wanted(argc, argv))
        return ImportCommand::run(argc, argv);
    if (CommandLine::wantsExport(argc, argv))
        return CommandLine::runExport(argc, argv);
    return Startup::run(argc, argv);
}
