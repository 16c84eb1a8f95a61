#include "app/videocommand.h"

#include "app/headless.h"
#include "app/raceexports.h"
#include "app/startup.h"
#include "scene/videoencoder.h"
#include "scene/videoplan.h"
#include "store/preferences.h"
#include "ui/settingspage.h"
#include "ui/videoexport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <optional>

namespace VideoCommand
{

namespace
{

using Headless::fail;

// ISO 8601; without an offset the time is UTC, not local.
std::optional<qint64> parseTime(const QString &text)
{
    QDateTime time = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeZone(QTimeZone::utc());
    return time.toSecsSinceEpoch();
}

std::optional<QSize> parseSize(const QString &text)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(\\d{1,4})x(\\d{1,4})$")).match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    // Up to 4K; the encoder rounds odd sizes down.
    if (size.width() < 16 || size.height() < 16 || size.width() > 3840 || size.height() > 2160)
        return std::nullopt;
    return size;
}

} // namespace

bool wanted(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--export=video" ||
            (arg == "--export" && i + 1 < argc && QByteArray(argv[i + 1]) == "video"))
            return true;
    }
    return false;
}

int run(int argc, char *argv[])
{
    // The frames are drawn off screen: no display needed.
    Headless::preferOffscreen();
    QApplication app(argc, argv);
    Startup::setIdentity();
    QCommandLineParser parser;
    const QCommandLineOption race(QStringLiteral("race"), QStringLiteral("The race."),
                                  QStringLiteral("EVENT/TASK"));
    const QCommandLineOption kind(QStringLiteral("export"), QStringLiteral("What to export."),
                                  QStringLiteral("video"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("First moment."),
                                  QStringLiteral("ISO 8601"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last moment."),
                                QStringLiteral("ISO 8601"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Race seconds per video second."),
                                   QStringLiteral("SECONDS"), QStringLiteral("60"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Frame size."),
                                  QStringLiteral("WIDTHxHEIGHT"), QStringLiteral("1920x1080"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The file to write."),
                                    QStringLiteral("FILE.mp4"));
    parser.addOptions({race, kind, from, to, speed, size, output});
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    const std::optional<QPair<int, int>> numbers = Headless::parseRace(parser.value(race));
    if (!numbers)
        return fail(QStringLiteral("--race needs EVENT/TASK, two positive numbers"));
    const std::optional<qint64> start = parseTime(parser.value(from));
    const std::optional<qint64> end = parseTime(parser.value(to));
    if (!start || !end)
        return fail(QStringLiteral("--%1 needs an ISO 8601 time such as 2011-04-16T08:00:00Z")
                        .arg(start ? QStringLiteral("to") : QStringLiteral("from")));
    bool isNumber = false;
    const int secondsPerSecond = parser.value(speed).toInt(&isNumber);
    const VideoPlan plan(*start, *end, isNumber ? secondsPerSecond : 0);
    switch (plan.problem()) {
    case VideoPlan::Problem::None:
        break;
    case VideoPlan::Problem::EmptySpan:
        return fail(QStringLiteral("--to must lie after --from"));
    case VideoPlan::Problem::BadSpeed:
        return fail(QStringLiteral("--speed needs whole race seconds per video second, %1 to %2")
                        .arg(VideoPlan::minSpeed)
                        .arg(VideoPlan::maxSpeed));
    case VideoPlan::Problem::TooLong:
        return fail(QStringLiteral("--speed %1 gives over an hour of video; choose a higher one")
                        .arg(secondsPerSecond));
    }
    const std::optional<QSize> frame = parseSize(parser.value(size));
    if (!frame)
        return fail(QStringLiteral("--size needs WIDTHxHEIGHT, 16x16 to 3840x2160"));
    const QString path = parser.value(output);
    if (path.isEmpty())
        return fail(QStringLiteral("--output needs a file name"));
    if (!VideoEncoder::hasH264Encoder())
        return fail(QStringLiteral("this FFmpeg build has no H.264 encoder (libx264)"));

    if (const QString problem = Headless::openDatabase(); !problem.isEmpty())
        return fail(problem);
    VideoExport::Request request;
    request.eventId = numbers->first;
    request.taskId = numbers->second;
    QString unused;
    const std::optional<Race> chosen =
        RaceExports::findRace(request.eventId, request.taskId, false, &unused);
    if (!chosen)
        return fail(QStringLiteral("no race %1/%2 in the database")
                        .arg(request.eventId)
                        .arg(request.taskId));

    request.raceName = chosen->name;
    request.from = *start;
    request.to = *end;
    request.speed = secondsPerSecond;
    request.size = *frame;
    request.fitFleet = true;
    request.completeTracks = chosen->showCompleteTracks;
    request.seamarks = SettingsPage::seamarksShown();
    request.loadMaps = Preferences::read(Pref::LoadMaps).value_or(false);
    VideoExport video;
    if (video.write(request, path) != VideoExport::Outcome::Written)
        return fail(QStringLiteral("no video written to %1: %2").arg(path, video.error()));
    return 0;
}

} // namespace VideoCommand
