#include "demoserver.h"

#include "downloads.h"
#include "fleet.h"
#include "tilerenderer.h"

#include <QAbstractHttpServer>
#include <QCache>
#include <QCryptographicHash>
#include <QDateTime>
#include <QHash>
#include <QHttpServerRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{

// QAbstractHttpServer hands over the socket of each parsed request; writing
// the reply ourselves gives full control over delayed, hung and cut replies.
class HttpFront : public QAbstractHttpServer
{
public:
    std::function<void(const QHttpServerRequest &, QTcpSocket *)> handler;

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        if (handler)
            handler(request, socket);
        return true;
    }
    void missingHandler(const QHttpServerRequest &, QTcpSocket *) override {}
};

struct Reply {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
};

struct FaultSetting {
    DemoServer::Fault fault = DemoServer::Fault::None;
    int value = 0;
};

struct RaceData {
    DemoServer::Race race;
    QList<DemoServer::Boat> boats;
    QVector<DemoFleet::Waypoint> course;
    bool live = false;                           // fixes are held back until the clock passes them
    bool windward = false;                       // 1 Hz windward-leeward tracks
    QHash<int, QVector<DemoServer::Fix>> tracks; // built when a boat is first asked for
};

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QString methodName(const QHttpServerRequest &request)
{
    switch (request.method()) {
    case QHttpServerRequest::Method::Get:
        return QStringLiteral("GET");
    case QHttpServerRequest::Method::Head:
        return QStringLiteral("HEAD");
    case QHttpServerRequest::Method::Post:
        return QStringLiteral("POST");
    case QHttpServerRequest::Method::Put:
        return QStringLiteral("PUT");
    case QHttpServerRequest::Method::Delete:
        return QStringLiteral("DELETE");
    default:
        return QStringLiteral("OTHER");
    }
}

QByteArray headerValue(const QHttpServerRequest &request, const QByteArray &name)
{
    const auto headers = request.headers();
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

const QRegularExpression &tilePattern()
{
    static const QRegularExpression re(
        QStringLiteral("^(?:/seamark)?/(\\d{1,2})/(\\d{1,9})/(\\d{1,9})\\.png$"));
    return re;
}

bool isSeamarkPath(const QString &path)
{
    return path.startsWith(QLatin1String("/seamark/"));
}

// Lines that are not records of either CSV format.
QByteArray malformedCsv(const QByteArray &body, char separator)
{
    const QList<QByteArray> garbage =
        separator == ';'
            ? QList<QByteArray>{"kaputt", "43.5;15.9;abc", "1;2;3;4;5;6", "#;#;#;#", ";;;;;;;;"}
            : QList<QByteArray>{"kaputt", "A|B|C", "1|2|3|4|5|6|7|8|9|10|11", "|||",
                                "M\xc3\xb6we|kaputt"};
    QByteArray out = garbage.first() + "\n";
    const QList<QByteArray> lines = body.split('\n');
    int n = 0;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        out += line + "\n";
        if (++n % 3 == 0)
            out += garbage[n / 3 % garbage.size()] + "\n";
    }
    out += garbage.last() + "\n";
    return out;
}

const QStringList &endpointNames()
{
    static const QStringList names = {
        QStringLiteral("getBoats"), QStringLiteral("getPosition"), QStringLiteral("getRaces"),
        QStringLiteral("isup"),     QStringLiteral("version"),     QStringLiteral("downloads"),
        QStringLiteral("feed"),     QStringLiteral("relnotes"),    QStringLiteral("installer"),
        QStringLiteral("tiles"),    QStringLiteral("static"),      QStringLiteral("seamarks"),
    };
    return names;
}

// Coordinates as the service would print broken ones: "nan", "inf", "1e308".
QByteArray coordinate(double v)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    if (std::abs(v) >= 1e6)
        return QByteArray::number(v, 'g', 6).replace("e+", "e");
    return QByteArray::number(v, 'f', 6);
}

// Every third fix gets the next of these coordinates; NAN in a pair leaves
// that field alone for OutOfRange.
void spoilCoordinates(QVector<DemoServer::Fix> &fixes, DemoServer::Fault fault)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Pair {
        double lat;
        double lng;
        bool latSet;
        bool lngSet;
    };
    const QList<Pair> pairs = fault == DemoServer::Fault::NonFinite
                                  ? QList<Pair>{{nan, 0, true, false},
                                                {0, inf, false, true},
                                                {-inf, 0, true, false},
                                                {nan, -inf, true, true},
                                                {inf, nan, true, true}}
                                  : QList<Pair>{{91, 0, true, false},
                                                {-91, 0, true, false},
                                                {0, 181, false, true},
                                                {1e308, 0, true, false},
                                                {0, 1e308, false, true}};
    for (int i = 1, n = 0; i < fixes.size(); i += 3, ++n) {
        const Pair &p = pairs[n % pairs.size()];
        if (p.latSet)
            fixes[i].lat = p.lat;
        if (p.lngSet)
            fixes[i].lng = p.lng;
    }
}

// A PNG of px x px: the tile drawn at its usual size, blown up pixel by
// pixel. Eight bits a pixel keep the server's own memory at px * px bytes.
QByteArray enlargedPng(const QByteArray &png, int px)
{
    const QImage small =
        QImage::fromData(png, "PNG").convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (small.isNull())
        return {};
    QImage big(px, px, QImage::Format_Indexed8);
    big.setColorTable(small.colorTable());
    const int w = small.width();
    const int h = small.height();
    for (int y = 0; y < px; ++y) {
        const uchar *from = small.constScanLine(int(qint64(y) * h / px));
        uchar *to = big.scanLine(y);
        for (int x = 0; x < px; ++x)
            to[x] = from[qint64(x) * w / px];
    }
    return TileRenderer::pngOf(big);
}

} // namespace

struct DemoServer::Private {
    DemoServer *q = nullptr;
    Options options;
    std::unique_ptr<HttpFront> front;
    quint16 port = 0;
    mutable QList<RaceData> races;
    QHash<QString, FaultSetting> faults;
    QString versionText = QString::fromLatin1(DemoDownloads::currentVersion);
    QString offeredVersion;
    QString feedUser;
    QString feedPassword;
    bool tampered = false;
    QByteArray tamper;
    QHash<QString, QPair<QByteArray, QByteArray>> staticFiles;
    std::function<qint64()> clock;
    QHash<QString, int> counts;
    QList<Request> log;
    QCache<QString, QByteArray> tiles{400}; // about 400 tiles of 10-30 kB
    QList<QPointer<QTcpSocket>> hung;
    QHash<int, QByteArray> bigTiles; // by size, one tile stands for all

    qint64 now() const { return clock ? clock() : QDateTime::currentSecsSinceEpoch(); }

    const RaceData *race(int eventId, int taskId) const
    {
        for (const RaceData &r : races) {
            if (r.race.eventId == eventId && (taskId < 0 || r.race.taskId == taskId))
                return &r;
        }
        return nullptr;
    }

    // The track of one boat, synthesized on first use; null for an unknown boat.
    const QVector<Fix> *track(const RaceData *r, int boatId) const
    {
        if (!r)
            return nullptr;
        auto *data = const_cast<RaceData *>(r);
        auto it = data->tracks.find(boatId);
        if (it != data->tracks.end())
            return &it.value();
        for (const Boat &b : std::as_const(data->boats)) {
            if (b.id != boatId)
                continue;
            return &data->tracks
                        .insert(boatId, data->windward
                                            ? DemoFleet::makeWindwardTrack(options.seed, data->race,
                                                                           b, data->course)
                                            : DemoFleet::makeTrack(
                                                  options.seed, data->race, b, data->course,
                                                  options.fixIntervalMin, options.fixIntervalMax))
                        .value();
        }
        return nullptr;
    }

    QString endpointOf(const QString &path) const
    {
        static const QHash<QString, QString> fixed = {
            {QStringLiteral("/api/getBoats.php"), QStringLiteral("getBoats")},
            {QStringLiteral("/api/getPosition.php"), QStringLiteral("getPosition")},
            {QStringLiteral("/api/getRaces.php"), QStringLiteral("getRaces")},
            {QStringLiteral("/api/isup.html"), QStringLiteral("isup")},
            {QStringLiteral("/api/version.html"), QStringLiteral("version")},
            {QStringLiteral("/downloads"), QStringLiteral("downloads")},
            {QStringLiteral("/downloads/"), QStringLiteral("downloads")},
            {QStringLiteral("/downloads/index.html"), QStringLiteral("downloads")},
            {QString::fromLatin1(DemoDownloads::feedPath), QStringLiteral("feed")},
            {QString::fromLatin1(DemoDownloads::movedFeedPath), QStringLiteral("feed")},
        };
        const auto it = fixed.constFind(path);
        if (it != fixed.constEnd())
            return it.value();
        if (!DemoDownloads::versionOfReleaseNotesPath(path).isEmpty())
            return QStringLiteral("relnotes");
        if (!DemoDownloads::versionOfInstallerPath(path).isEmpty())
            return QStringLiteral("installer");
        if (tilePattern().match(path).hasMatch())
            return isSeamarkPath(path) ? QStringLiteral("seamarks") : QStringLiteral("tiles");
        if (staticFiles.contains(path))
            return QStringLiteral("static");
        return QStringLiteral("unknown");
    }

    static Reply notFound()
    {
        Reply r;
        r.status = 404;
        r.body = "Nicht gefunden\n";
        return r;
    }

    bool feedAuthorized(const QHttpServerRequest &request) const
    {
        if (feedUser.isEmpty())
            return true;
        // Clients encode the pair as UTF-8 (we ask for it) or as Latin-1.
        const QString pair = feedUser + QLatin1Char(':') + feedPassword;
        const QByteArray given = headerValue(request, "Authorization");
        return given == "Basic " + pair.toUtf8().toBase64() ||
               given == "Basic " + pair.toLatin1().toBase64();
    }

    Reply boatList(const QUrlQuery &query, Fault fault) const
    {
        Reply r;
        const RaceData *data = race(query.queryItemValue(QStringLiteral("rg")).toInt(),
                                    query.queryItemValue(QStringLiteral("wf")).toInt());
        if (!data)
            return r;
        QString text;
        for (const Boat &b : data->boats) {
            // Field 3 carries the task, field 8 the sail number's country.
            text += QStringList{b.klasse,
                                QString::number(b.id),
                                QString::number(data->race.taskId),
                                b.startnr,
                                b.name,
                                b.team,
                                b.skipper,
                                b.startnr.section(QLatin1Char(' '), 0, 0),
                                QString::number(data->race.start),
                                QString::number(data->race.eventId)}
                        .join(QLatin1Char('|')) +
                    QLatin1Char('\n');
        }
        if (fault == Fault::BigId && !data->boats.isEmpty()) {
            const Boat &b = data->boats.first();
            const QString id = QString::number(bigBoatId);
            text += QStringList{b.klasse,
                                id,
                                QString::number(data->race.taskId),
                                QStringLiteral("GER ") + id,
                                QStringLiteral("Lange Nummer"),
                                b.team,
                                b.skipper,
                                QStringLiteral("GER"),
                                QString::number(data->race.start),
                                QString::number(data->race.eventId)}
                        .join(QLatin1Char('|')) +
                    QLatin1Char('\n');
        }
        r.body = text.toUtf8();
        return r;
    }

    Reply positions(const QUrlQuery &query, Fault fault) const
    {
        Reply r;
        const RaceData *data = race(query.queryItemValue(QStringLiteral("rg")).toInt(),
                                    query.queryItemValue(QStringLiteral("wf")).toInt());
        const QVector<Fix> *boatTrack =
            this->track(data, query.queryItemValue(QStringLiteral("bo")).toInt());
        if (!boatTrack)
            return r;
        const qint64 since = query.queryItemValue(QStringLiteral("la")).toLongLong();
        // A live race only knows the fixes sent so far.
        const qint64 until = data->live ? now() : data->race.end;
        const QVector<Fix> &track = *boatTrack;
        auto from = std::lower_bound(track.cbegin(), track.cend(), since,
                                     [](const Fix &f, qint64 t) { return f.tstamp < t; });
        auto to = from;
        while (to != track.cend() && to->tstamp <= until)
            ++to;
        QVector<Fix> sent(from, to);
        switch (fault) {
        case Fault::NonFinite:
        case Fault::OutOfRange:
            spoilCoordinates(sent, fault);
            break;
        case Fault::FarFuture: {
            Fix far = sent.isEmpty() ? (from != track.cbegin() ? *(from - 1) : track.first())
                                     : sent.last();
            far.tstamp = data->race.end + farFutureSeconds;
            sent.append(far);
            break;
        }
        case Fault::OutOfOrder:
            // The oldest fix last; a reply of one fix gets the one before it.
            if (sent.size() >= 2)
                sent.append(sent.takeFirst());
            else if (from != track.cbegin())
                sent.append(*(from - 1));
            break;
        default:
            break;
        }
        QByteArray out;
        out.reserve(int(sent.size()) * 44);
        for (const Fix &f : std::as_const(sent)) {
            out += coordinate(f.lat) + ';' + coordinate(f.lng) + ';' +
                   QByteArray::number(f.tstamp) + ';' + QByteArray::number(f.heading, 'f', 1) +
                   ';' + QByteArray::number(f.speed, 'f', 2) + '\n';
        }
        r.body = out;
        return r;
    }

    Reply raceList(Fault fault) const
    {
        const QString markup =
            fault == Fault::Html ? QLatin1Char(' ') + QString::fromLatin1(htmlMarkup) : QString();
        Reply r;
        QString text;
        for (const RaceData &data : races) {
            text += QStringLiteral("%1|%2|%3|%4|%5\n")
                        .arg(data.race.eventId)
                        .arg(data.race.taskId)
                        .arg(data.race.name + markup)
                        .arg(data.race.start)
                        .arg(data.race.end);
        }
        r.body = text.toUtf8();
        return r;
    }

    Reply tile(const QString &path, const FaultSetting &fault)
    {
        const QRegularExpressionMatch m = tilePattern().match(path);
        const int z = m.captured(1).toInt();
        const int x = m.captured(2).toInt();
        const int y = m.captured(3).toInt();
        if (!TileRenderer::isValidTile(z, x, y))
            return notFound();
        Reply r;
        r.contentType = "image/png";
        if (const QByteArray *cached = tiles.object(path)) {
            r.body = *cached;
        } else {
            r.body = isSeamarkPath(path) ? TileRenderer::renderSeamarkPng(z, x, y)
                                         : TileRenderer::renderPng(z, x, y);
            tiles.insert(path, new QByteArray(r.body));
        }
        if (fault.fault == Fault::BigTile) {
            const int px = fault.value > 0 ? std::min(fault.value, bigTileMax) : bigTileDefault;
            auto big = bigTiles.constFind(px);
            if (big == bigTiles.constEnd()) {
                if (bigTiles.size() >= 4)
                    bigTiles.clear();
                big = bigTiles.insert(px, enlargedPng(r.body, px));
            }
            r.body = *big;
        }
        return r;
    }

    Reply produce(const QString &endpoint, const QString &path, const QUrlQuery &query,
                  const FaultSetting &fault)
    {
        Reply r;
        const auto fixture = staticFiles.constFind(path);
        if (fixture != staticFiles.constEnd()) {
            r.body = fixture->first;
            r.contentType = fixture->second;
            return r;
        }
        const QString base = q->baseUrl();
        const QString markup =
            fault.fault == Fault::Html ? QString::fromLatin1(htmlMarkup) : QString();
        if (endpoint == QLatin1String("getBoats"))
            return boatList(query, fault.fault);
        if (endpoint == QLatin1String("getPosition"))
            return positions(query, fault.fault);
        if (endpoint == QLatin1String("getRaces"))
            return raceList(fault.fault);
        if (endpoint == QLatin1String("isup")) {
            r.body = "up\n";
            return r;
        }
        if (endpoint == QLatin1String("version")) {
            r.body = versionText.toUtf8();
            return r;
        }
        if (endpoint == QLatin1String("downloads")) {
            r.contentType = "text/html; charset=utf-8";
            r.body = DemoDownloads::downloadPage(base);
            return r;
        }
        if (endpoint == QLatin1String("feed")) {
            r.contentType = "application/rss+xml; charset=utf-8";
            r.body = DemoDownloads::feed(base, offeredVersion, markup);
            return r;
        }
        if (endpoint == QLatin1String("relnotes")) {
            r.contentType = "text/html; charset=iso-8859-1";
            r.body =
                DemoDownloads::releaseNotes(DemoDownloads::versionOfReleaseNotesPath(path), markup);
            return r;
        }
        if (endpoint == QLatin1String("installer")) {
            r.contentType = "application/octet-stream";
            r.body =
                tampered ? tamper : installerBytes(DemoDownloads::versionOfInstallerPath(path));
            return r;
        }
        if (endpoint == QLatin1String("tiles") || endpoint == QLatin1String("seamarks"))
            return tile(path, fault);
        return notFound();
    }

    QByteArray malform(const QString &endpoint, const QByteArray &body) const
    {
        if (endpoint == QLatin1String("getPosition"))
            return malformedCsv(body, ';');
        if (endpoint == QLatin1String("getBoats") || endpoint == QLatin1String("getRaces"))
            return malformedCsv(body, '|');
        if (endpoint == QLatin1String("feed"))
            return DemoDownloads::brokenFeed(q->baseUrl(), offeredVersion);
        if (endpoint == QLatin1String("tiles") || endpoint == QLatin1String("seamarks"))
            return QByteArrayLiteral("\x89PNG\r\n\x1a\n kein Bild");
        return body + "\n\x01\xff<<< kaputt >>>\n";
    }

    void logServed(const QString &method, const QString &path, int status)
    {
        if (!options.quiet) {
            const QByteArray line =
                (method + QLatin1Char(' ') + path + QLatin1Char(' ') +
                 (status > 0 ? QString::number(status) : QStringLiteral("(hang, no answer)")) +
                 QLatin1Char('\n'))
                    .toUtf8();
            std::fputs(line.constData(), stderr);
            std::fflush(stderr);
        }
        if (status > 0)
            emit q->requestServed(method, path, status);
    }

    static QByteArray head(const Reply &r, const QByteArray &extra)
    {
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
        head += "Content-Type: " + r.contentType + "\r\n";
        for (const auto &h : r.headers)
            head += h.first + ": " + h.second + "\r\n";
        return head + extra + "\r\n";
    }

    // The body over and over in chunks, paced by a timer and only while the
    // client keeps up, so neither the event loop nor the send buffer fills.
    void writeEndless(QTcpSocket *socket, const Reply &r, const QString &method,
                      const QString &path)
    {
        socket->write(head(r, "Transfer-Encoding: chunked\r\nConnection: close\r\n"));
        logServed(method, path, r.status);
        if (method == QLatin1String("HEAD"))
            return;
        const QByteArray piece = r.body.isEmpty() ? QByteArray("endlos\n") : r.body;
        auto *timer = new QTimer(socket);
        timer->setInterval(5);
        QObject::connect(
            timer, &QTimer::timeout, socket, [socket, timer, piece, at = qsizetype(0)]() mutable {
                if (socket->state() != QAbstractSocket::ConnectedState) {
                    timer->stop();
                    return;
                }
                if (socket->bytesToWrite() > 64 * 1024)
                    return;
                QByteArray chunk;
                while (chunk.size() < 16 * 1024) {
                    const qsizetype n =
                        std::min<qsizetype>(piece.size() - at, 16 * 1024 - chunk.size());
                    chunk += piece.mid(at, n);
                    at = (at + n) % piece.size();
                }
                socket->write(QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
            });
        QObject::connect(socket, &QAbstractSocket::disconnected, timer, &QObject::deleteLater);
        timer->start();
    }

    // The announced body one byte every ms; stops early when the client goes.
    void writeDrip(QTcpSocket *socket, const Reply &r, const QString &method, const QString &path,
                   int ms)
    {
        socket->write(head(r, "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n"));
        logServed(method, path, r.status);
        if (method == QLatin1String("HEAD") || r.body.isEmpty())
            return;
        auto *timer = new QTimer(socket);
        timer->setInterval(ms);
        QObject::connect(timer, &QTimer::timeout, socket,
                         [socket, timer, body = r.body, at = qsizetype(0)]() mutable {
                             if (socket->state() != QAbstractSocket::ConnectedState ||
                                 at >= body.size()) {
                                 timer->deleteLater();
                                 return;
                             }
                             socket->write(body.constData() + at, 1);
                             if (++at >= body.size())
                                 timer->deleteLater();
                         });
        QObject::connect(socket, &QAbstractSocket::disconnected, timer, &QObject::deleteLater);
        timer->start();
    }

    void write(QTcpSocket *socket, const Reply &r, const QString &method, const QString &path,
               bool cut)
    {
        QByteArray body = r.body;
        qint64 announced = body.size();
        if (cut) {
            // Stop in the middle of a record, then hang up: the client sees a
            // body shorter than announced.
            int at = body.size() / 2;
            if (at > 0 && body.at(at - 1) == '\n')
                at = std::min<int>(body.size() - 1, at + 3);
            body.truncate(std::max(0, at));
            if (announced <= body.size())
                announced = body.size() + 100;
        }
        QByteArray extra = "Content-Length: " + QByteArray::number(announced) + "\r\n";
        if (cut)
            extra += "Connection: close\r\n";
        socket->write(head(r, extra));
        if (method != QLatin1String("HEAD"))
            socket->write(body);
        if (cut) {
            socket->flush();
            socket->disconnectFromHost();
        }
        logServed(method, path, r.status);
    }

    // Tiles carry a validator and a lifetime; a client that names the
    // current one gets 304 without a body, unless a fault shapes the reply.
    static void revalidate(const QHttpServerRequest &request, Reply &r, Fault fault)
    {
        const QByteArray etag =
            '"' + QCryptographicHash::hash(r.body, QCryptographicHash::Md5).toHex().left(16) + '"';
        r.headers.append(qMakePair(QByteArray("ETag"), etag));
        r.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=86400")));
        const QList<QByteArray> asked = headerValue(request, "If-None-Match").split(',');
        const bool current = std::any_of(asked.cbegin(), asked.cend(), [&](const QByteArray &a) {
            return a.trimmed() == etag || a.trimmed() == "*";
        });
        if (current && (fault == Fault::None || fault == Fault::Delay)) {
            r.status = 304;
            r.body.clear();
        }
    }

    void handle(const QHttpServerRequest &request, QTcpSocket *socket)
    {
        const QString method = methodName(request);
        const QString path = request.url().path();
        const QUrlQuery query = request.query();
        const QString endpoint = endpointOf(path);

        counts[endpoint] += 1;
        Request entry;
        entry.endpoint = endpoint;
        entry.path = path;
        entry.query = query.toString(QUrl::FullyDecoded);
        entry.userAgent = headerValue(request, "User-Agent");
        entry.trackType = headerValue(request, "Track-Type");
        entry.ifNoneMatch = headerValue(request, "If-None-Match");
        log.append(entry);
        // A long-running demo must not grow without bound.
        if (log.size() > 20000)
            log.remove(0, log.size() - 10000);

        if (endpoint == QLatin1String("feed") && !feedAuthorized(request)) {
            Reply r;
            r.status = 401;
            r.body = "Anmeldung erforderlich\n";
            r.headers.append(
                qMakePair(QByteArray("WWW-Authenticate"),
                          QByteArray("Basic realm=\"Velmaro Updates\", charset=\"UTF-8\"")));
            write(socket, r, method, path, false);
            return;
        }

        FaultSetting fault;
        const QString asked = query.queryItemValue(QStringLiteral("fault"));
        if (!asked.isEmpty()) {
            fault.fault = faultFromName(asked);
            fault.value = query.queryItemValue(QStringLiteral("faultValue")).toInt();
            if (fault.fault == Fault::None || !faultApplies(fault.fault, endpoint)) {
                Reply r;
                r.status = 400;
                r.body = (fault.fault == Fault::None
                              ? QStringLiteral("Unbekannte Fehlerart: %1\n").arg(asked)
                              : QStringLiteral("Fehlerart %1 gilt nicht f\u00fcr %2\n")
                                    .arg(asked, endpoint))
                             .toUtf8();
                write(socket, r, method, path, false);
                return;
            }
        } else if (!query.hasQueryItem(QStringLiteral("moved")) &&
                   path != QLatin1String(DemoDownloads::movedFeedPath)) {
            // A request that arrives through a redirect is not redirected again.
            fault = faults.value(endpoint);
        }

        switch (fault.fault) {
        case Fault::Hang:
            // Never answered; the connection stays open until the server goes.
            hung.append(QPointer<QTcpSocket>(socket));
            logServed(method, path, 0);
            return;
        case Fault::HttpError: {
            Reply r;
            r.status = fault.value >= 100 && fault.value <= 599 ? fault.value : 500;
            r.body = "Fehler " + QByteArray::number(r.status) + "\n";
            write(socket, r, method, path, false);
            return;
        }
        case Fault::Redirect: {
            QUrlQuery rest(query);
            rest.removeAllQueryItems(QStringLiteral("fault"));
            rest.removeAllQueryItems(QStringLiteral("faultValue"));
            QString target = path;
            if (path == QLatin1String(DemoDownloads::feedPath))
                target = QString::fromLatin1(DemoDownloads::movedFeedPath);
            else
                rest.addQueryItem(QStringLiteral("moved"), QStringLiteral("1"));
            QUrl url(q->baseUrl() + target);
            url.setQuery(rest);
            Reply r;
            r.status = 302;
            r.body = "Verschoben\n";
            r.headers.append(qMakePair(QByteArray("Location"), url.toEncoded()));
            write(socket, r, method, path, false);
            return;
        }
        default:
            break;
        }

        Reply r = produce(endpoint, path, query, fault);
        if (fault.fault == Fault::Malformed && r.status == 200)
            r.body = malform(endpoint, r.body);
        if ((endpoint == QLatin1String("tiles") || endpoint == QLatin1String("seamarks")) &&
            r.status == 200)
            revalidate(request, r, fault.fault);
        if (fault.fault == Fault::Delay) {
            const int ms = fault.value > 0 ? fault.value : 2000;
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(ms, front.get(), [this, guard, r, method, path] {
                if (guard && guard->state() == QAbstractSocket::ConnectedState)
                    write(guard, r, method, path, false);
            });
            return;
        }
        if (fault.fault == Fault::Endless) {
            writeEndless(socket, r, method, path);
            return;
        }
        if (fault.fault == Fault::Drip) {
            writeDrip(socket, r, method, path, fault.value > 0 ? fault.value : dripDefaultMs);
            return;
        }
        write(socket, r, method, path, fault.fault == Fault::CutBody);
    }
};

DemoServer::DemoServer(QObject *parent) : DemoServer(Options(), parent) {}

DemoServer::DemoServer(const Options &options, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->options = options;
    const qint64 anchor =
        options.liveAnchor > 0 ? options.liveAnchor : QDateTime::currentSecsSinceEpoch();
    const QList<Race> races = {
        {10, 88, QStringLiteral("Dorur Izadidiva Dazidevire 2010"), 1270458000, 1270764000},
        {21, 120, QStringLiteral("Vudav Avazavava Zerevudeva 2011"), 1302905280, 1303509600},
        {liveEventId, liveTaskId, QStringLiteral("Velmaro Live Demo"), anchor - 3 * 3600,
         anchor + 24 * 3600},
        {bigEventId, bigTaskId, QStringLiteral("Velmaro Großfeld 2026"), 1781953200,
         1781953200 + 5400},
        {bigLiveEventId, bigLiveTaskId, QStringLiteral("Velmaro Großfeld Live"), anchor - 600,
         anchor - 600 + 5400},
    };
    for (int i = 0; i < races.size(); ++i) {
        RaceData data;
        data.race = races[i];
        data.live = races[i].eventId == liveEventId || races[i].eventId == bigLiveEventId;
        data.windward = races[i].eventId == bigEventId || races[i].eventId == bigLiveEventId;
        data.boats =
            DemoFleet::makeFleet(options.seed, i, races[i], options.boatsPerRace, data.windward);
        data.course = DemoFleet::courseWaypoints(races[i].eventId, races[i].taskId);
        d->races.append(data);
    }
    d->front = std::make_unique<HttpFront>();
    d->front->handler = [this](const QHttpServerRequest &request, QTcpSocket *socket) {
        d->handle(request, socket);
    };
}

DemoServer::~DemoServer()
{
    for (const QPointer<QTcpSocket> &socket : std::as_const(d->hung)) {
        if (socket)
            socket->abort();
    }
    d->front.reset();
}

quint16 DemoServer::listen(quint16 port)
{
    d->port = d->front->listen(QHostAddress::LocalHost, port);
    return d->port;
}

quint16 DemoServer::port() const
{
    return d->port;
}

QString DemoServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

QList<DemoServer::Race> DemoServer::races() const
{
    QList<Race> list;
    for (const RaceData &data : d->races)
        list.append(data.race);
    return list;
}

QList<DemoServer::Boat> DemoServer::boats(int eventId) const
{
    const RaceData *data = d->race(eventId, -1);
    return data ? data->boats : QList<Boat>();
}

QList<DemoServer::Fix> DemoServer::fixes(int eventId, int boatId) const
{
    const QVector<Fix> *track = d->track(d->race(eventId, -1), boatId);
    return track ? *track : QList<Fix>();
}

void DemoServer::setFault(const QString &endpoint, Fault fault, int value)
{
    if (fault == Fault::None)
        d->faults.remove(endpoint);
    else
        d->faults.insert(endpoint, {fault, value});
}

void DemoServer::clearFaults()
{
    d->faults.clear();
}

DemoServer::Fault DemoServer::faultFromName(const QString &name)
{
    static const QHash<QString, Fault> names = {
        {QStringLiteral("delay"), Fault::Delay},
        {QStringLiteral("hang"), Fault::Hang},
        {QStringLiteral("error"), Fault::HttpError},
        {QStringLiteral("cut"), Fault::CutBody},
        {QStringLiteral("malformed"), Fault::Malformed},
        {QStringLiteral("redirect"), Fault::Redirect},
        {QStringLiteral("nonfinite"), Fault::NonFinite},
        {QStringLiteral("outofrange"), Fault::OutOfRange},
        {QStringLiteral("farfuture"), Fault::FarFuture},
        {QStringLiteral("outoforder"), Fault::OutOfOrder},
        {QStringLiteral("bigid"), Fault::BigId},
        {QStringLiteral("endless"), Fault::Endless},
        {QStringLiteral("drip"), Fault::Drip},
        {QStringLiteral("bigtile"), Fault::BigTile},
        {QStringLiteral("html"), Fault::Html},
    };
    return names.value(name.trimmed().toLower(), Fault::None);
}

bool DemoServer::faultApplies(Fault fault, const QString &endpoint)
{
    switch (fault) {
    case Fault::None:
        return false;
    case Fault::NonFinite:
    case Fault::OutOfRange:
    case Fault::FarFuture:
    case Fault::OutOfOrder:
        return endpoint == QLatin1String("getPosition");
    case Fault::BigId:
        return endpoint == QLatin1String("getBoats");
    case Fault::BigTile:
        return endpoint == QLatin1String("tiles") || endpoint == QLatin1String("seamarks");
    case Fault::Html:
        return endpoint == QLatin1String("feed") || endpoint == QLatin1String("relnotes") ||
               endpoint == QLatin1String("getRaces");
    default:
        return true;
    }
}

bool DemoServer::parseFault(const QString &faultText, QString *endpoint, Fault *fault, int *value,
                            QString *error)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z]+)=([a-z]+)(?::(\\d{1,9}))?$"));
    const QRegularExpressionMatch m = re.match(faultText.trimmed());
    const auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m.hasMatch())
        return refuse(QStringLiteral("expected endpoint=kind[:value]"));
    if (!endpointNames().contains(m.captured(1)))
        return refuse(QStringLiteral("unknown endpoint '%1' (endpoints: %2)")
                          .arg(m.captured(1), endpointNames().join(QLatin1Char(' '))));
    const Fault f = faultFromName(m.captured(2));
    if (f == Fault::None)
        return refuse(QStringLiteral("unknown fault kind '%1'").arg(m.captured(2)));
    if (!faultApplies(f, m.captured(1)))
        return refuse(QStringLiteral("fault '%1' does not apply to endpoint '%2'")
                          .arg(m.captured(2), m.captured(1)));
    if (endpoint)
        *endpoint = m.captured(1);
    if (fault)
        *fault = f;
    if (value)
        *value = m.captured(3).toInt();
    return true;
}

void DemoServer::setVersionText(const QString &text)
{
    d->versionText = text;
}

void DemoServer::setOfferedVersion(const QString &version)
{
    // Anything else would end up inside paths and XML attributes.
    d->offeredVersion = DemoDownloads::isSafeVersion(version) ? version : QString();
}

void DemoServer::setFeedCredentials(const QString &user, const QString &password)
{
    d->feedUser = user;
    d->feedPassword = password;
}

void DemoServer::setInstallerTamper(const QByteArray &replacement)
{
    d->tampered = !replacement.isNull();
    d->tamper = replacement;
}

QByteArray DemoServer::installerBytes(const QString &version)
{
    return DemoDownloads::installerScript(version);
}

void DemoServer::setStaticFile(const QString &path, const QByteArray &body,
                               const QByteArray &contentType)
{
    if (body.isEmpty())
        d->staticFiles.remove(path);
    else
        d->staticFiles.insert(path, {body, contentType});
}

void DemoServer::setClock(std::function<qint64()> clock)
{
    d->clock = std::move(clock);
}

int DemoServer::requestCount(const QString &endpoint) const
{
    return d->counts.value(endpoint);
}

QList<DemoServer::Request> DemoServer::requestLog() const
{
    return d->log;
}

void DemoServer::clearRequestLog()
{
    d->log.clear();
    d->counts.clear();
}
