#include "tracking/trackingclient.h"

#include "platform/config.h"
#include "platform/identity.h"
#include "platform/replylimits.h"
#include "platform/seams.h"
#include "store/database.h"
#include "tracking/ingest.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>
#include <utility>

using namespace Tracking;

namespace
{
// Set on the replies of a removed race: they are dropped unread.
const char *const discardedProperty = "velmaroDiscarded";
// The race load a reply belongs to.
const char *const loadProperty = "velmaroLoad";
} // namespace

TrackingClient::TrackingClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_baseUrl(Config::trackingUrl()),
      m_timeoutMs(Identity::trackingTimeoutMs), m_maxBytes(Identity::trackingMaxBytes),
      m_deadlineMs(Identity::trackingDeadlineMs)
{
    m_drain.setInterval(0);
    connect(&m_drain, &QTimer::timeout, this, &TrackingClient::handleNextReply);
}

void TrackingClient::handleNextReply()
{
    while (!m_finished.empty()) {
        const Finished next = m_finished.front();
        m_finished.pop_front();
        if (next.reply) {
            handleReply(next.reply, next.kind, next.tag);
            break;
        }
    }
    if (m_finished.empty())
        m_drain.stop();
}

TrackingClient::~TrackingClient() = default;

void TrackingClient::setBaseUrl(const QString &url)
{
    m_baseUrl = Config::stripTrailingSlash(url);
}

QVector<BoatInfo> TrackingClient::boats() const
{
    return m_boats ? m_boats() : QVector<BoatInfo>();
}

QNetworkReply *TrackingClient::send(RequestKind kind, const QString &url, const RequestTag &tag)
{
    QNetworkReply *reply = m_manager->get(makeRequest(kind, url, m_timeoutMs, tag));
    ReplyLimits::apply(reply, m_maxBytes, m_deadlineMs);
    // The reply remembers what was asked; a redirect may end anywhere.
    connect(reply, &QNetworkReply::finished, this, [this, reply, kind, tag] {
        m_finished.push_back(Finished{reply, kind, tag});
        if (!m_drain.isActive())
            m_drain.start();
    });
    if (isTransfer(kind)) {
        emit transferStarted();
        if (m_load.active) {
            reply->setProperty(loadProperty, m_load.generation);
            ++m_load.requests;
            if (kind != RequestKind::BoatList)
                ++m_load.openPerBoat[tag.boatId];
        }
    }
    return reply;
}

void TrackingClient::sendBoatList()
{
    RequestTag tag;
    tag.index = m_race.eventId;
    tag.eventId = m_race.eventId;
    tag.taskId = m_race.taskId;
    send(RequestKind::BoatList, boatListUrl(m_baseUrl, m_race.eventId, m_race.taskId), tag);
}

void TrackingClient::loadRace()
{
    if (!m_race.valid) {
        // Nothing to fetch (an imported race): the previous race's load is over.
        if (m_load.active) {
            m_load = Load{false, m_load.generation + 1};
            emit loadFinished();
        }
        return;
    }
    m_load = Load{true, m_load.generation + 1};
    const QVector<BoatInfo> known = boats();
    // Before the start the stored list may be stale; ask the service.
    if (Seams::nowSecs() < m_race.start || known.isEmpty())
        sendBoatList();
    requestMissingTracks(known);
    // A running race is brought up to date when it is chosen, not a poll
    // interval later.
    if (Seams::nowSecs() >= m_race.start && storedAutoloadPreference())
        sendNewPositions(true);
    if (m_load.requests == 0) {
        m_load.active = false;
        emit loadFinished();
    } else {
        emit loadProgress(0, int(m_load.openPerBoat.size()), 0);
    }
}

void TrackingClient::countLoadReply(QNetworkReply *reply, int boatId)
{
    const QVariant generation = reply->property(loadProperty);
    if (!m_load.active || !generation.isValid() || generation.toInt() != m_load.generation)
        return;
    ++m_load.answered;
    const auto open = m_load.openPerBoat.find(boatId);
    if (open != m_load.openPerBoat.end() && open.value() > 0)
        --open.value();
    const int done = int(std::count(m_load.openPerBoat.cbegin(), m_load.openPerBoat.cend(), 0));
    emit loadProgress(done, int(m_load.openPerBoat.size()), m_load.fixes);
    if (m_load.answered >= m_load.requests) {
        m_load.active = false;
        emit loadFinished();
    }
}

QString TrackingClient::loadProgressText(int boatsDone, int boatsAsked, qint64 fixes)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    return tr("Regatta wird geladen: %1 von %2 Booten, %3 Positionen erhalten")
        .arg(boatsDone)
        .arg(boatsAsked)
        .arg(german.toString(fixes));
}

void TrackingClient::requestMissingTracks(const QVector<BoatInfo> &boats)
{
    for (int i = 0; i < boats.size(); ++i) {
        if (!boats.at(i).hasFixes)
            fetchHistory(i, boats.at(i));
    }
}

void TrackingClient::fetchHistory(int index, const BoatInfo &boat)
{
    emit lastgetChanged(index, int(m_race.start));
    // The stored preference, not the window flag: a finished race clears the
    // flag to stop polling, but its history must still be downloadable.
    if (!storedAutoloadPreference())
        return;
    RequestTag tag{index, m_race.eventId, m_race.taskId, boat.id};
    send(RequestKind::Positions,
         positionsUrl(m_baseUrl, m_race.eventId, m_race.taskId, boat.id, m_race.start), tag);
}

bool TrackingClient::requestNewPositions()
{
    sendNewPositions();
    return true;
}

int TrackingClient::sendNewPositions(bool heldOnly)
{
    if (!m_race.valid || Seams::nowSecs() >= m_race.end)
        return 0;
    const QVector<BoatInfo> known = boats();
    for (int i = 0; i < known.size(); ++i) {
        const BoatInfo &boat = known.at(i);
        if (heldOnly && !boat.hasFixes)
            continue; // its history is on the way
        RequestTag tag{i, m_race.eventId, m_race.taskId, boat.id};
        send(RequestKind::Positions,
             positionsUrl(m_baseUrl, m_race.eventId, m_race.taskId, boat.id, boat.lastget), tag);
    }
    return int(known.size());
}

void TrackingClient::getData()
{
    if (!m_race.valid || Seams::nowSecs() < m_race.start)
        return;
    // While the race still loads, its own requests bring the newest fixes;
    // a poll then would ask every boat a second time.
    if (!probeServer() || m_loading || m_load.active)
        return;
    m_loading = true;
    if (std::exchange(m_boatListLost, false))
        sendBoatList();
    // Only the positions replies end a cycle; with none under way (race
    // ended, no boats) it is over at once.
    if (sendNewPositions() == 0)
        m_loading = false;
    emit pollCycleStarted();
}

bool TrackingClient::probeServer()
{
    const bool previous = m_serverUp;
    send(RequestKind::Probe, probeUrl(m_baseUrl));
    return previous;
}

void TrackingClient::checkVersion()
{
    send(RequestKind::Version, versionUrl(m_baseUrl));
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

void TrackingClient::handleReply(QNetworkReply *reply, RequestKind kind, const RequestTag &tag)
{
    Outcome outcome = Outcome::Probe;
    if (reply->property(discardedProperty).toBool()) {
        outcome = Outcome::Dropped;
    } else if (reply->error() != QNetworkReply::NoError) {
        // A timeout or a broken limit arrives here as OperationCanceledError.
        m_serverUp = false;
        reply->abort();
        outcome = Outcome::Failed;
    } else {
        switch (kind) {
        case RequestKind::OldPositions:
        case RequestKind::Positions:
            outcome = handlePositions(reply, tag);
            break;
        case RequestKind::BoatList:
            outcome = handleBoatList(reply, tag);
            break;
        case RequestKind::Probe:
            m_serverUp = true;
            break;
        case RequestKind::Version:
            handleVersion(reply);
            break;
        }
    }
    reply->deleteLater();
    // The probe and the version request never lit the lamp; counting them
    // down put it out while a positions reply was still open.
    if (isTransfer(kind)) {
        emit transferFinished();
        countLoadReply(reply, kind != RequestKind::BoatList ? tag.boatId : -1);
    }
    emit replyHandled(reply->request().url(), outcome);
}

TrackingClient::Outcome TrackingClient::handlePositions(QNetworkReply *reply, const RequestTag &tag)
{
    const QVector<BoatInfo> known = boats();
    if (!m_race.valid || m_race.eventId != tag.eventId || m_race.taskId != tag.taskId ||
        tag.index < 0 || tag.index >= known.size())
        return Outcome::Dropped;
    const BoatInfo boat = known.at(tag.index);
    if (boat.id != tag.boatId || boat.regattaId != tag.eventId)
        return Outcome::Dropped;

    PositionsTarget target;
    target.index = tag.index;
    target.boatId = boat.id;
    target.regattaId = boat.regattaId;
    target.hasFixes = boat.hasFixes;
    target.newestFix = boat.newestFix;
    // A day after the end at most, and for a running race an hour from now.
    target.latestAllowed = m_race.end + 86400;
    if (Seams::nowSecs() < m_race.end)
        target.latestAllowed = std::min(target.latestAllowed, Seams::nowSecs() + 3600);
    const PositionsResult result = ingestPositions(reply->readAll(), target, m_diagnostics);
    if (!result.committed) {
        qWarning("Tracking: positions of boat %d not stored: %s", boat.id,
                 qPrintable(result.error));
        reportStoreFailure(result.error);
        return Outcome::RolledBack;
    }
    m_reportedFailure = Database::WriteFailure::None;
    if (reply->property(loadProperty).toInt() == m_load.generation)
        m_load.fixes += result.fixes.size();
    emit fixesStored(tag.index, result.fixes,
                     result.lastgetChanged ? result.lastget : boat.lastget);
    emit lastFetchTextChanged(Seams::now().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    return Outcome::Applied;
}

TrackingClient::Outcome TrackingClient::handleBoatList(QNetworkReply *reply, const RequestTag &tag)
{
    const BoatListResult result = ingestBoatList(reply->readAll(), tag.index);
    if (!result.committed) {
        qWarning("Tracking: boat list of event %d not stored: %s", tag.index,
                 qPrintable(result.error));
        m_boatListLost = m_race.valid && m_race.eventId == tag.eventId;
        reportStoreFailure(result.error);
        return Outcome::RolledBack;
    }
    m_reportedFailure = Database::WriteFailure::None;
    if (!m_race.valid || m_race.eventId != tag.eventId || m_race.taskId != tag.taskId)
        return Outcome::Stored;
    emit boatsStored(m_race.eventId);
    // As choosing the race again would do, the new boats get their history;
    // before the start there is none, and polling fetches it later.
    if (Seams::nowSecs() >= m_race.start)
        requestMissingTracks(boats());
    return Outcome::Applied;
}

void TrackingClient::handleVersion(QNetworkReply *reply)
{
    const QString text = decodeReplyBody(reply->readAll());
    const QString own = QString::fromLatin1(Identity::version);
    forEachLine(text, [&](QStringView line) {
        if (line != own) {
            m_newVersionSeen = true;
            emit newVersionAvailable();
        }
    });
}

void TrackingClient::reportStoreFailure(const QString &error)
{
    const Database::WriteFailure kind = Database::failureOf(error);
    if (kind == std::exchange(m_reportedFailure, kind))
        return;
    switch (kind) {
    case Database::WriteFailure::Locked:
        emit storeProblem(tr("Die Datenbank ist von einem anderen Programm gesperrt; "
                             "die neuen Daten werden später noch einmal geholt."));
        break;
    case Database::WriteFailure::DiskFull:
        emit storeProblem(tr("Der Datenträger ist voll; die neuen Daten konnten "
                             "nicht gespeichert werden."));
        break;
    default:
        emit storeProblem(tr("Die neuen Daten konnten nicht gespeichert werden: %1").arg(error));
        break;
    }
}
