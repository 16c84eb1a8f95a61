#include "tracking/trackingclient.h"

#include "platform/config.h"
#include "platform/identity.h"
#include "tracking/ingest.h"
#include "platform/seams.h"
#include "tracking/trackinghost.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

using namespace Tracking;

namespace {
// Set on the replies of a removed race: they are dropped unread.
const char *const discardedProperty = "velmaroDiscarded";
} // namespace

TrackingClient::TrackingClient(TrackingHost *host, QObject *parent)
    : QObject(parent),
      m_host(host),
      m_manager(new QNetworkAccessManager(this)),
      m_baseUrl(Config::trackingUrl()),
      m_timeoutMs(Identity::trackingTimeoutMs)
{
    connect(m_manager, &QNetworkAccessManager::finished, this,
            &TrackingClient::handleNetworkData);
}

TrackingClient::~TrackingClient() = default;

void TrackingClient::setBaseUrl(const QString &url)
{
    m_baseUrl = Config::stripTrailingSlash(url);
}

QNetworkReply *TrackingClient::sendTrackingRequest(const QString &url, int kind,
                                                   const RequestTag &tag)
{
    const QNetworkRequest request = makeTrackingRequest(url, kind, tag, m_timeoutMs);
    if (request.url().isEmpty())
        return nullptr;
    QNetworkReply *reply = m_manager->get(request);
    m_host->setNetLedOn();
    return reply;
}

void TrackingClient::sendBoatList(const RaceInfo &race)
{
    RequestTag tag;
    tag.index = race.eventId;
    tag.eventId = race.eventId;
    tag.taskId = race.taskId;
    sendTrackingRequest(boatListUrl(m_baseUrl, race.eventId, race.taskId), NewBoats, tag);
}

void TrackingClient::loadRace()
{
    m_host->clearShips();
    const RaceInfo race = m_host->currentRace();
    if (!race.valid)
        return;
    // Before the start the stored list may be stale; ask the service.
    if (Seams::nowSecs() < race.start || m_host->loadShips(race.eventId) == 0)
        sendBoatList(race);
    requestMissingTracks(race);
}

void TrackingClient::requestMissingTracks(const RaceInfo &race)
{
    bool anyStored = false;
    const int count = m_host->boatCount();
    for (int i = 0; i < count; ++i) {
        if (m_host->loadTrack(i))
            anyStored = true;
        else
            fetchShipPositions(i, race.start);
    }
    if (anyStored)
        m_host->placeShips();
}

void TrackingClient::fetchShipPositions(int index, qint64 since)
{
    if (index < 0 || index >= m_host->boatCount())
        return;
    m_host->setLastget(index, int(since));
    // The stored preference, not the window flag: a finished race clears the
    // flag to stop polling, but its history must still be downloadable.
    if (!storedAutoloadPreference())
        return;
    const RaceInfo race = m_host->currentRace();
    const BoatInfo boat = m_host->boat(index);
    RequestTag tag{index, race.eventId, race.taskId, boat.id};
    sendTrackingRequest(positionsUrl(m_baseUrl, race.eventId, race.taskId, boat.id, since),
                        NewPositions, tag);
}

bool TrackingClient::requestNewPositions()
{
    sendNewPositions();
    return true;
}

int TrackingClient::sendNewPositions()
{
    const RaceInfo race = m_host->currentRace();
    if (!race.valid || Seams::nowSecs() >= race.end)
        return 0;
    int sent = 0;
    const int count = m_host->boatCount();
    for (int i = 0; i < count; ++i) {
        const BoatInfo boat = m_host->boat(i);
        RequestTag tag{i, race.eventId, race.taskId, boat.id};
        if (sendTrackingRequest(
                positionsUrl(m_baseUrl, race.eventId, race.taskId, boat.id, boat.lastget),
                NewPositions, tag))
            ++sent;
    }
    return sent;
}

void TrackingClient::getData()
{
    const RaceInfo race = m_host->currentRace();
    if (!race.valid || Seams::nowSecs() < race.start)
        return;
    if (!probeServer() || m_loading)
        return;
    m_loading = true;
    // Only the positions replies end a cycle; with none under way (race
    // ended, no boats) it is over at once.
    if (sendNewPositions() == 0)
        m_loading = false;
    if (m_host->autoload())
        m_host->restartPollTimer();
}

bool TrackingClient::probeServer()
{
    const bool previous = m_serverUp;
    m_manager->get(makePlainRequest(probeUrl(m_baseUrl), m_timeoutMs));
    return previous;
}

void TrackingClient::checkVersion()
{
    m_manager->get(makePlainRequest(versionUrl(m_baseUrl), m_timeoutMs));
}

void TrackingClient::discardRace(int eventId, int taskId)
{
    const QList<QNetworkReply *> replies = m_manager->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        const RequestTag tag = tagOf(reply->request());
        if (!reply->isFinished() && tag.eventId == eventId && tag.taskId == taskId)
            reply->setProperty(discardedProperty, true);
    }
}

void TrackingClient::handleNetworkData(QNetworkReply *reply)
{
    // What was asked decides, not where a redirect ended up.
    const QUrl url = reply->request().url();
    const QString urlText = url.toString();
    Outcome outcome = Outcome::Ignored;
    if (reply->property(discardedProperty).toBool()) {
        outcome = Outcome::Dropped;
    } else if (reply->error() == QNetworkReply::NoError) {
        if (urlText.contains(QLatin1String("getPosition.php")))
            outcome = handlePositions(reply);
        if (urlText.contains(QLatin1String("getBoats.php")))
            outcome = handleBoatList(reply);
        if (urlText.contains(QLatin1String("isup.html"))) {
            m_serverUp = true;
            outcome = Outcome::Probe;
        }
        if (urlText.contains(QLatin1String("version.html"))) {
            handleVersion(reply);
            outcome = Outcome::Probe;
        }
    } else {
        // A timeout arrives here as OperationCanceledError.
        m_serverUp = false;
        reply->abort();
        outcome = Outcome::Failed;
    }
    reply->deleteLater();
    // The probe and the version request never lit the lamp; counting them
    // down put it out while a positions reply was still open.
    if (reply->request().hasRawHeader("Track-Type"))
        m_host->setNetLedOff();
    emit replyHandled(url, outcome);
}

TrackingClient::Outcome TrackingClient::handlePositions(QNetworkReply *reply)
{
    const RequestTag tag = tagOf(reply->request());
    const RaceInfo race = m_host->currentRace();
    if (!race.valid || race.eventId != tag.eventId || race.taskId != tag.taskId
        || tag.index < 0 || tag.index >= m_host->boatCount())
        return Outcome::Dropped;
    const BoatInfo boat = m_host->boat(tag.index);
    if (boat.id != tag.boatId || boat.regattaId != tag.eventId)
        return Outcome::Dropped;

    PositionsTarget target;
    target.index = tag.index;
    target.boatId = boat.id;
    target.regattaId = boat.regattaId;
    target.hasFixes = boat.hasFixes;
    target.newestFix = boat.newestFix;
    const PositionsResult result = ingestPositions(reply->readAll(), target, m_diagnostics);
    if (!result.committed) {
        qWarning("Tracking: positions of boat %d not stored: %s", boat.id,
                 qPrintable(result.error));
        return Outcome::RolledBack;
    }
    m_host->appendFixes(tag.index, result.fixes,
                        result.lastgetChanged ? result.lastget : boat.lastget);
    m_host->setLastFetchText(Seams::now().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    m_host->placeShips();
    return Outcome::Applied;
}

TrackingClient::Outcome TrackingClient::handleBoatList(QNetworkReply *reply)
{
    const RequestTag tag = tagOf(reply->request());
    const BoatListResult result = ingestBoatList(reply->readAll(), tag.index);
    if (!result.committed) {
        qWarning("Tracking: boat list of event %d not stored: %s", tag.index,
                 qPrintable(result.error));
        return Outcome::RolledBack;
    }
    const RaceInfo race = m_host->currentRace();
    if (!race.valid || race.eventId != tag.eventId || race.taskId != tag.taskId)
        return Outcome::Stored;
    m_host->clearShips();
    m_host->loadShips(race.eventId);
    // As choosing the race again would do, the new boats get their history;
    // before the start there is none, and polling fetches it later.
    if (Seams::nowSecs() >= race.start)
        requestMissingTracks(race);
    return Outcome::Applied;
}

void TrackingClient::handleVersion(QNetworkReply *reply)
{
    const QString text = decodeReplyBody(reply->readAll());
    const QString own = QString::fromLatin1(Identity::version);
    forEachLine(text, [&](QStringView line) {
        if (line != own) {
            m_newVersionSeen = true;
            m_host->newVersionIsAvailable();
        }
    });
}
