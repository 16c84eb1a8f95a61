// Prints how long the demo service takes to synthesize each race's tracks and
// to serve one boat's complete positions reply.
#include "demoserver.h"

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
        std::printf("race %d/%d: %lld boats, %lld fixes, synthesized in %lld ms\n",
                    race.eventId, race.taskId, static_cast<long long>(boats.size()),
                    static_cast<long long>(total), static_cast<long long>(timer.elapsed()));

        QNetworkAccessManager nam;
        const QUrl url(QStringLiteral("%1/api/getPosition.php?rg=%2&wf=%3&bo=%4&h=5&la=%5&csv=1&lid=%5")
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
        std::printf("  positions reply of boat %d: %lld bytes, %lld lines in %lld ms\n",
                    boats.first().id, static_cast<long long>(body.size()),
                    static_cast<long long>(body.count('\n')),
                    static_cast<long long>(timer.elapsed()));
        reply->deleteLater();
    }
    return 0;
}
