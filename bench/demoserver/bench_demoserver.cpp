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

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
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
