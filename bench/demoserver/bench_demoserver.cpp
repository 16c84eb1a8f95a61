// Prints how long the demo service takes to synthesize each race's tracks and
// to serve one boat's complete positions reply.
#include "benchresult.h"
#include "demoserver.h"
#include "platform/identity.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace
{

// Resident memory of this process in MB, from /proc (0 where there is none).
double residentMb()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
    }
    return 0;
}

QByteArray fetch(QNetworkAccessManager &nam, const QUrl &url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(30000);
    QNetworkReply *reply = nam.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->readAll();
}

// Every boat of the big race asked for once from a fresh service, so each
// reply includes synthesizing that boat's track.
void serveBigRace()
{
    DemoServer::Options options;
    options.quiet = true;
    DemoServer server(options);
    if (server.listen(0) == 0)
        return;
    QNetworkAccessManager nam;
    const double before = residentMb();
    QElapsedTimer timer, one;
    timer.start();
    double slowest = 0;
    qint64 lines = 0;
    const QList<DemoServer::Boat> boats = server.boats(DemoServer::bigEventId);
    for (const DemoServer::Boat &b : boats) {
        one.start();
        lines += fetch(nam, QUrl(QStringLiteral("%1/api/getPosition.php?rg=%2&wf=%3&bo=%4&la=0")
                                     .arg(server.baseUrl())
                                     .arg(DemoServer::bigEventId)
                                     .arg(DemoServer::bigTaskId)
                                     .arg(b.id)))
                     .count('\n');
        slowest = std::max(slowest, one.nsecsElapsed() / 1e6);
    }
    const double totalMs = timer.nsecsElapsed() / 1e6;
    const double grownMb = residentMb() - before;
    std::printf("race %d/%d: %lld boats, %lld fixes served from cold in %.0f ms (slowest reply "
                "%.1f ms), memory grew by %.0f MB\n",
                DemoServer::bigEventId, DemoServer::bigTaskId, static_cast<long long>(boats.size()),
                static_cast<long long>(lines), totalMs, slowest, grownMb);
    BenchResult::print("demo service: every boat of race 40/400 served once, from cold", totalMs,
                       "ms", "target: tracking timeout", Identity::trackingTimeoutMs);
    BenchResult::print("demo service: slowest single boat of race 40/400, from cold", slowest, "ms",
                       "target: one second", 1000);
    BenchResult::print("demo service: memory for every track of race 40/400", grownMb, "MB",
                       "target: 200 MB", 200);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    serveBigRace();
    DemoServer::Options options;
    options.quiet = true;
    DemoServer server(options);
    if (server.listen(0) == 0)
        return 1;

    for (const DemoServer::Race &race : server.races()) {
        const QList<DemoServer::Boat> boats = server.boats(race.eventId);
        QElapsedTimer timer;
        timer.start();
        qint64 total = 0;
        for (const DemoServer::Boat &b : boats)
            total += server.fixes(race.eventId, b.id).size();
        const double synthMs = timer.nsecsElapsed() / 1e6;
        std::printf("race %d/%d: %lld boats, %lld fixes, synthesized in %.0f ms\n", race.eventId,
                    race.taskId, static_cast<long long>(boats.size()),
                    static_cast<long long>(total), synthMs);
        // A race is synthesized when first asked for: that has to fit in the
        // viewer's transfer timeout.
        const QByteArray synthName =
            QStringLiteral("demo service: synthesize race %1/%2 (%3 fixes)")
                .arg(race.eventId)
                .arg(race.taskId)
                .arg(total)
                .toUtf8();
        BenchResult::print(synthName.constData(), synthMs, "ms", "target: tracking timeout",
                           Identity::trackingTimeoutMs);

        QNetworkAccessManager nam;
        const QUrl url(
            QStringLiteral("%1/api/getPosition.php?rg=%2&wf=%3&bo=%4&h=5&la=%5&csv=1&lid=%5")
                .arg(server.baseUrl())
                .arg(race.eventId)
                .arg(race.taskId)
                .arg(boats.first().id)
                .arg(race.start));
        QNetworkRequest request(url);
        request.setTransferTimeout(30000);
        timer.restart();
        QNetworkReply *reply = nam.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QByteArray body = reply->readAll();
        const double replyMs = timer.nsecsElapsed() / 1e6;
        std::printf("  positions reply of boat %d: %lld bytes, %lld lines in %.1f ms\n",
                    boats.first().id, static_cast<long long>(body.size()),
                    static_cast<long long>(body.count('\n')), replyMs);
        const QByteArray replyName =
            QStringLiteral("demo service: positions reply race %1/%2 (%3 lines)")
                .arg(race.eventId)
                .arg(race.taskId)
                .arg(body.count('\n'))
                .toUtf8();
        BenchResult::print(replyName.constData(), replyMs, "ms", "target: tracking timeout",
                           Identity::trackingTimeoutMs);
        reply->deleteLater();
    }
    return 0;
}
