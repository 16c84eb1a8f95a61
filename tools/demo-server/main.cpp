// velmaro-demo-server: the tracking service, download server and tile server
// on 127.0.0.1, for the run command, offline use and tests.
#include "demoserver.h"
#include "downloads.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Tiles are drawn with QPainter, which needs a GUI application, but the
    // server must run without a display.
    bool platformGiven = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i)
        platformGiven = platformGiven || std::strcmp(argv[i], "-platform") == 0;
    if (!platformGiven)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("velmaro-demo-server"));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(DemoDownloads::currentVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Velmaro demo service on 127.0.0.1: tracking API, update feed and downloads, map tiles.\n"
        "Prints its base address on the first line of standard output."));
    parser.addHelpOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port to listen on; 0 picks a free one."),
                                     QStringLiteral("port"), QStringLiteral("8787"));
    const QCommandLineOption quietOpt(QStringLiteral("quiet"),
                                      QStringLiteral("No request log on standard error."));
    const QCommandLineOption seedOpt(QStringLiteral("seed"),
                                     QStringLiteral("Seed of the synthesized fleets and tracks."),
                                     QStringLiteral("n"), QStringLiteral("2011"));
    const QCommandLineOption versionOpt(
        QStringLiteral("version-text"), QStringLiteral("Body of /api/version.html."),
        QStringLiteral("text"), QString::fromLatin1(DemoDownloads::currentVersion));
    const QCommandLineOption offerOpt(
        QStringLiteral("offer-version"),
        QStringLiteral("Make the update feed offer this version for the running platform."),
        QStringLiteral("version"));
    const QCommandLineOption userOpt(QStringLiteral("feed-user"),
                                     QStringLiteral("Require basic authentication for the feed."),
                                     QStringLiteral("user"));
    const QCommandLineOption passwordOpt(QStringLiteral("feed-password"),
                                         QStringLiteral("Password for --feed-user."),
                                         QStringLiteral("password"));
    const QCommandLineOption faultOpt(
        QStringLiteral("fault"),
        QStringLiteral(
            "Fault for an endpoint, repeatable: endpoint=kind[:value]. Endpoints: "
            "getBoats getPosition getRaces isup version downloads feed relnotes "
            "installer tiles static seamarks. Kinds for any endpoint: delay[:ms] hang "
            "error[:status] cut malformed redirect endless drip[:ms]; getPosition: "
            "nonfinite outofrange farfuture outoforder; getBoats: bigid; tiles seamarks: "
            "bigtile[:px]; feed relnotes getRaces: html."),
        QStringLiteral("endpoint=kind"));
    parser.addOptions(
        {portOpt, quietOpt, seedOpt, versionOpt, offerOpt, userOpt, passwordOpt, faultOpt});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOpt).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "velmaro-demo-server: invalid port '%s'\n",
                     qPrintable(parser.value(portOpt)));
        return 2;
    }
    DemoServer::Options options;
    options.seed = parser.value(seedOpt).toUInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "velmaro-demo-server: invalid seed '%s'\n",
                     qPrintable(parser.value(seedOpt)));
        return 2;
    }
    options.quiet = parser.isSet(quietOpt);

    DemoServer server(options);
    server.setVersionText(parser.value(versionOpt));
    if (parser.isSet(offerOpt))
        server.setOfferedVersion(parser.value(offerOpt));
    if (parser.isSet(userOpt))
        server.setFeedCredentials(parser.value(userOpt), parser.value(passwordOpt));
    const QStringList faults = parser.values(faultOpt);
    for (const QString &faultText : faults) {
        QString endpoint;
        DemoServer::Fault fault = DemoServer::Fault::None;
        int value = 0;
        QString error;
        if (!DemoServer::parseFault(faultText, &endpoint, &fault, &value, &error)) {
            std::fprintf(stderr, "velmaro-demo-server: invalid --fault '%s': %s\n",
                         qPrintable(faultText), qPrintable(error));
            return 2;
        }
        server.setFault(endpoint, fault, value);
    }

    if (server.listen(quint16(port)) == 0) {
        std::fprintf(stderr, "velmaro-demo-server: cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    std::printf("%s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);
    return app.exec();
}
