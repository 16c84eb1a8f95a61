#ifndef VELMARO_TOOLS_DEMOSERVER_DEMOSERVER_H
#define VELMARO_TOOLS_DEMOSERVER_DEMOSERVER_H

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// One loopback server that plays the tracking service, the download server
// and the tile server, for the run command, offline use and the tests.
// Tests link it in-process (library velmaro_demoserver) or start the
// velmaro-demo-server program with --port 0.
class DemoServer : public QObject
{
    Q_OBJECT
public:
    struct Options {
        // Seed of the synthesized fleets and tracks; same seed, same data.
        quint32 seed = 2011;
        // Seconds between two fixes of a boat, drawn from this range (the big
        // races keep one a second).
        int fixIntervalMin = 30;
        int fixIntervalMax = 60;
        // Boats per race; 0 keeps the built-in fleet (20+ boats, 3-4 classes;
        // 250 in five classes for the big races).
        int boatsPerRace = 0;
        bool quiet = false; // no request log on standard error
        // Moment the live race is anchored to (Unix seconds): it runs from three
        // hours before to a day after. 0 takes the system clock at construction.
        qint64 liveAnchor = 0;
    };

    // The live race that is always under way: event 30, task 300.
    static constexpr int liveEventId = 30;
    static constexpr int liveTaskId = 300;
    // The big windward-leeward race (250 boats, one fix a second for 90
    // minutes) and its live twin, which starts ten minutes before the anchor.
    static constexpr int bigEventId = 40;
    static constexpr int bigTaskId = 400;
    static constexpr int bigLiveEventId = 41;
    static constexpr int bigLiveTaskId = 410;

    struct Race {
        int eventId = 0;
        int taskId = 0;
        QString name;
        qint64 start = 0; // Unix seconds
        qint64 end = 0;
    };

    struct Boat {
        int id = 0;
        QString klasse;
        QString startnr;
        QString name;
        QString team;
        QString skipper;
    };

    struct Fix {
        double lat = 0;
        double lng = 0;
        qint64 tstamp = 0;
        double heading = 0;
        double speed = 0;
    };

    // Faults are set per endpoint: "getBoats", "getPosition", "getRaces",
    // "isup", "version", "downloads", "feed", "relnotes", "installer",
    // "tiles", "static" (setStaticFile paths elsewhere), "seamarks" (the
    // overlay tiles /seamark/z/x/y.png). A request can also
    // ask for one with the query item fault=<name> and faultValue=<n>; an
    // unknown name, or one that does not apply to the endpoint, gets a 400.
    // Any endpoint: Delay answers after n ms (2000), Hang never answers,
    // HttpError answers status n (500), CutBody announces the full length,
    // sends half and closes the connection, Malformed mixes garbage lines
    // into CSV (the feed becomes broken XML), Redirect answers 302 to the
    // same path (the feed to "/downloads/setup/velmaro-moved.xml") where the
    // fault does not apply, Endless streams the body over and over until the
    // client goes, Drip sends the body one byte every n ms (2000).
    // getPosition: NonFinite puts nan/inf/-inf into some coordinates,
    // OutOfRange latitudes of +-91, longitude 181 and 1e308, FarFuture adds
    // a fix farFutureSeconds after the race's end, OutOfOrder moves the
    // reply's oldest fix to its end. getBoats: BigId adds a boat with id
    // bigBoatId. tiles, seamarks: BigTile answers an n x n PNG (bigTileDefault, at most
    // bigTileMax). feed, relnotes, getRaces: Html puts htmlMarkup into item
    // titles, release notes and race names.
    enum class Fault {
        None,
        Delay,
        Hang,
        HttpError,
        CutBody,
        Malformed,
        Redirect,
        NonFinite,
        OutOfRange,
        FarFuture,
        OutOfOrder,
        BigId,
        Endless,
        Drip,
        BigTile,
        Html,
    };
    static constexpr qint64 farFutureSeconds = 10 * 36525 * 864; // ten years
    static constexpr qint64 bigBoatId = 4294967297LL;            // 2^32 + 1
    static constexpr int dripDefaultMs = 2000;
    static constexpr int bigTileDefault = 5000;
    static constexpr int bigTileMax = 8000;
    static constexpr const char *htmlMarkup = "<img src=\"/dev/zero\">";

    explicit DemoServer(QObject *parent = nullptr);
    DemoServer(const Options &options, QObject *parent = nullptr);
    ~DemoServer() override;

    // Listens on 127.0.0.1; 0 picks a free port. Returns the port, 0 on failure.
    quint16 listen(quint16 port = 0);
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>", no trailing slash

    QList<Race> races() const;
    QList<Boat> boats(int eventId) const;
    // All synthesized fixes in time order; for a live race also those still
    // "in the future", which getPosition.php holds back until the clock passes.
    QList<Fix> fixes(int eventId, int boatId) const;

    // value: the delay in ms for Delay, the status code for HttpError.
    void setFault(const QString &endpoint, Fault fault, int value = 0);
    void clearFaults();
    // Parses "endpoint=kind[:value]" as given to --fault; false for an
    // unknown endpoint or kind, or a kind that does not apply to the
    // endpoint, with the reason in *error.
    static bool parseFault(const QString &faultText, QString *endpoint, Fault *fault, int *value,
                           QString *error = nullptr);
    // "delay", "hang", ... for a fault; Fault::None for an unknown name.
    static Fault faultFromName(const QString &name);
    // Whether a fault can be asked of an endpoint.
    static bool faultApplies(Fault fault, const QString &endpoint);

    // Body of /api/version.html; the viewer's own version by default.
    void setVersionText(const QString &text);
    // Makes the feed offer this version for the running platform; empty
    // (the default) offers nothing newer than the viewer's version.
    void setOfferedVersion(const QString &version);
    // Basic authentication for the feed; an empty user turns it off.
    void setFeedCredentials(const QString &user, const QString &password);
    // Replaces the installer's bytes (to test size and hash checks) while the
    // feed keeps announcing the original length and hash.
    void setInstallerTamper(const QByteArray &replacement);
    // The genuine installer (a small shell script) for a version, as the feed
    // announces it.
    static QByteArray installerBytes(const QString &version);

    // Serves extra documents (test fixtures such as other feeds) at a path,
    // e.g. "/downloads/setup/other.xml"; an empty body removes it.
    void setStaticFile(const QString &path, const QByteArray &body,
                       const QByteArray &contentType = "text/plain");

    // "Now" of the live race (Unix seconds); the system clock when unset.
    void setClock(std::function<qint64()> clock);

    // Requests served so far for one endpoint name (see setFault).
    int requestCount(const QString &endpoint) const;
    // Query strings and headers of the requests served, newest last.
    struct Request {
        QString endpoint;
        QString path;
        QString query;
        QByteArray userAgent;
        QByteArray trackType;
        QByteArray ifNoneMatch;
    };
    QList<Request> requestLog() const;
    void clearRequestLog();

signals:
    void requestServed(const QString &method, const QString &path, int status);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

#endif
