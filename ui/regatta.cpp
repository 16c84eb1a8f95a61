#include "ui/regatta.h"

#include "map/karte.h"
#include "map/scheme.h"
#include "platform/seams.h"
#include "scene/analysisoverlay.h"
#include "scene/boatlabels.h"
#include "scene/course.h"
#include "scene/gateitem.h"
#include "scene/sailinglegs.h"
#include "scene/ship.h"
#include "scene/shiploader.h"
#include "store/boatstore.h"
#include "store/racestore.h"
#include "store/ratingstore.h"
#include "tracking/trackingclient.h"
#include "ui/graphpanel.h"
#include "ui/iconselector.h"
#include "ui/leaderboardpanel.h"
#include "ui/mainwindow.h"
#include "ui/manoeuvrepanel.h"
#include "ui/treeshipitem.h"
#include "ui/treeviewmodel.h"

#include <QDateTime>
#include <QDebug>
#include <QItemSelectionModel>
#include <QSlider>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <cmath>

Regatta::Regatta(MainWindow *window, int eventId, int taskId)
    : m_window(window), m_tracking(window->tracking()), m_eventId(eventId), m_taskId(taskId),
      m_loader(std::make_unique<ShipLoader>()), m_overlay(std::make_unique<AnalysisOverlay>())
{
    window->scene()->addItem(m_overlay.get());
    connect(this, &Regatta::shipsCleared, this, [this] {
        m_analysis.clear();
        m_overlay->setMarks({});
        m_overlay->setLaylines({});
        m_overlay->setWind(false, 0, QString());
    });
    ManoeuvrePanel *panel = window->manoeuvres();
    connect(panel, &ManoeuvrePanel::momentChosen, this,
            [this](int t) { m_window->setSliderValue(t); });
    connect(panel, &ManoeuvrePanel::fixedWindChosen, this, [this](std::optional<double> from) {
        m_analysis.setFixedWind(from);
        refreshAnalysis(m_window->timeSlider()->value());
    });
    connect(panel, &ManoeuvrePanel::windSamplesChosen, this,
            [this](const QVector<WindSample> &samples) {
                m_analysis.setWindSamples(samples);
                refreshAnalysis(m_window->timeSlider()->value());
            });
    connect(this, &Regatta::shipsCleared, window->leaderboard(), &LeaderboardPanel::forgetShips);
    connect(this, &Regatta::shipsCleared, window->graphs(), &GraphPanel::forgetShips);
    m_tracking->setBoatSource([this] { return boatInfos(); });
    connect(m_tracking, &TrackingClient::boatsStored, this, &Regatta::reloadShips);
    connect(m_tracking, &TrackingClient::lastgetChanged, this, &Regatta::setLastget);
    connect(m_tracking, &TrackingClient::fixesStored, this,
            [this](int index, const QVector<Tracking::Fix> &fixes, int lastget) {
                appendFixes(index, fixes, lastget);
                placeShips();
                keepFleetInView();
            });
    connect(m_tracking, &TrackingClient::loadFinished, this, [this] { m_fitPending = false; });
    m_window->setRegatta(this);
    m_sailNumberLabels = m_window->settingsPage()->sailNumberLabels();
    m_races = RaceStore::races();
    m_window->loadPreferences();
    m_window->fillRaceMenu(m_races, eventId, taskId);
}

void Regatta::reloadRaces()
{
    m_races = RaceStore::races();
    m_window->setRaceMenu(m_races);
}

Regatta::~Regatta()
{
    if (m_overlay->scene())
        m_overlay->scene()->removeItem(m_overlay.get());
    if (m_tracking) {
        m_tracking->setBoatSource({});
        m_tracking->setRace({});
    }
    m_window->detachRegatta(this);
    qDeleteAll(m_ships);
    qDeleteAll(m_gates);
}

Ship *Regatta::shipById(int id) const
{
    for (Ship *ship : m_ships) {
        if (ship->id() == id)
            return ship;
    }
    return nullptr;
}

// --- race change ----------------------------------------------------------

void Regatta::select(const Race &entry)
{
    m_window->legend()->clearShips();
    m_name = entry.name;
    m_id = entry.id;
    m_eventId = entry.eventId;
    m_taskId = entry.taskId;
    m_start = entry.start;
    // Known before the boats load, so the client never sees the previous end.
    m_end = entry.end;
    m_completeTracks = entry.showCompleteTracks;
    m_selected = true;
    m_tracking->setRace(raceInfo());

    rebuildCourse();
    m_window->fillGateMenu(m_gates);
    m_window->leaderboard()->setRaceStart(m_start);
    m_window->leaderboard()->setRatings(RatingStore::ratings(m_eventId));
    ::placeGates(m_gates, m_window->karte()->projection(), m_window->scene());
    QList<ProjectedItem *> projected;
    projected.reserve(m_gates.size());
    for (GateItem *gate : std::as_const(m_gates))
        projected.append(gate);
    m_window->karte()->setGateItems(projected);

    clearShips();
    // Before the start the stored list may be stale; the client asks for the
    // service's, which replaces it. An imported race has only the stored one.
    if ((Seams::nowSecs() >= m_start || isImportedEvent(m_eventId)) && loadShips(m_eventId) > 0)
        loadStoredTracks();
    m_tracking->loadRace();
    placeShips();
    m_fitPending = true;
    keepFleetInView();
    m_fitPending = m_tracking->isLoadActive();

    m_window->setRaceFinished(entry.end < Seams::nowSecs() || isImportedEvent(m_eventId));
}

void Regatta::rebuildCourse()
{
    // No view or menu may keep pointers to the gates about to go.
    m_window->karte()->setGateItems({});
    m_window->fillGateMenu({});
    qDeleteAll(m_gates);
    m_gates = buildCourse(m_eventId, m_taskId);
}

// --- boats for the tracking client ----------------------------------------

Tracking::RaceInfo Regatta::raceInfo() const
{
    Tracking::RaceInfo race;
    // An imported race has nothing to fetch.
    race.valid = m_selected && !isImportedEvent(m_eventId);
    race.eventId = m_eventId;
    race.taskId = m_taskId;
    race.start = m_start;
    race.end = m_end;
    return race;
}

QVector<Tracking::BoatInfo> Regatta::boatInfos() const
{
    QVector<Tracking::BoatInfo> infos;
    infos.reserve(m_ships.size());
    for (const Ship *ship : m_ships) {
        Tracking::BoatInfo info;
        info.id = ship->id();
        info.regattaId = ship->regattaId();
        info.lastget = ship->lastget();
        const Track *raw = ship->rawTrack();
        info.hasFixes = raw && !raw->isEmpty();
        info.newestFix = info.hasFixes ? raw->newestTime() : 0;
        infos.append(info);
    }
    return infos;
}

void Regatta::clearShips()
{
    emit shipsCleared();
    // The legend rows point at nothing once the boats are gone.
    m_window->legend()->clearShips();
    qDeleteAll(m_ships);
    m_ships.clear();
}

void Regatta::reloadShips(int eventId)
{
    clearShips();
    loadShips(eventId);
    // Before the start there are no fixes yet; polling brings them.
    if (Seams::nowSecs() >= m_start && loadStoredTracks()) {
        placeShips();
        keepFleetInView();
    }
}

int Regatta::loadShips(int eventId)
{
    int rowsRead = 0;
    const QList<Ship *> loaded =
        m_loader->loadShips(eventId, ShipLoader::loadSpriteStrip(), &rowsRead);
    if (rowsRead == 0)
        return 0;

    IconSelector *legend = m_window->legend();
    QString className;
    QList<Ship *> group;
    int groupRow = 0;
    bool first = true;
    for (Ship *ship : loaded) {
        ship->setCompleteTrack(m_completeTracks);
        ship->setSailNumberLabel(m_sailNumberLabels);
        m_ships.append(ship);
        if (first || ship->klasse() != className) {
            if (!group.isEmpty()) {
                legend->addGroup(className, group, groupRow);
                group.clear();
                ++groupRow;
            }
            className = ship->klasse();
            first = false;
        }
        group.append(ship);
    }
    if (!group.isEmpty())
        legend->addGroup(className, group, groupRow);
    legend->treeView()->expandAll();
    legend->treeView()->resizeColumnToContents(0);
    legend->treeView()->resizeColumnToContents(1);

    if (m_ships.isEmpty())
        Seams::critical(QStringLiteral("init"), QStringLiteral("ships.isEmpty()???"),
                        QMessageBox::Cancel);
    return int(m_ships.size());
}

bool Regatta::loadStoredTracks()
{
    bool any = false;
    for (Ship *ship : std::as_const(m_ships)) {
        if (m_loader->loadTrack(ship)) {
            ship->setHasPositions(true);
            showLastReport(ship);
            any = true;
        }
    }
    return any;
}

void Regatta::setLastget(int index, int lastget)
{
    if (index >= 0 && index < m_ships.size())
        m_ships.at(index)->setLastget(lastget);
}

void Regatta::appendFixes(int index, const QVector<Tracking::Fix> &fixes, int lastget)
{
    if (index < 0 || index >= m_ships.size())
        return;
    Ship *ship = m_ships.at(index);
    Track *raw = ship->rawTrack();
    for (const Tracking::Fix &fix : fixes)
        raw->addPoint(fix.lat, fix.lng, fix.tstamp, fix.heading, fix.extra);
    ship->setPointCount(ship->pointCount() + int(fixes.size()));
    ship->setLastget(lastget);
    ship->setHasPositions(true);
    showLastReport(ship);
}

void Regatta::showLastReport(const Ship *ship)
{
    m_window->legend()->setLastReport(ship->legendIndex(), ship->rawTrack()->newestTime());
}

void Regatta::placeShips()
{
    const TimeRange range =
        ::placeShips(m_ships, m_window->karte()->projection(), m_window->scene());
    if (range.earliest > 0 && range.latest > 0) {
        m_window->setSliderRange(range.earliest + 60, range.latest);
        m_window->setUhrzeit(range.latest);
        m_window->setSliderValue(range.latest);
    } else {
        const int now = int(Seams::nowSecs());
        m_window->setSliderRange(now, now);
        m_window->setUhrzeit(now);
        m_window->setSliderValue(now);
    }
    // The lamp is counted down by each finished reply alone: counting it down
    // here too put it out while other replies were still open.
}

// --- moment, display --------------------------------------------------------

void Regatta::showMoment(int tstamp)
{
    if (const std::optional<GeoPoint> centre = showShipsAt(m_ships, tstamp))
        m_window->karte()->setCenterGeo(*centre);
    for (Ship *ship : std::as_const(m_ships)) {
        if (ship->currentPoint() && ship->isStale() != ship->legendStale()) {
            ship->setLegendStale(ship->isStale());
            m_window->legend()->setStale(ship->legendIndex(), ship->legendStale());
        }
    }
    refreshAnalysis(tstamp);
}

void Regatta::setCompleteTrack(bool on)
{
    m_completeTracks = on;
    for (Ship *ship : std::as_const(m_ships))
        ship->setCompleteTrack(on);
}

void Regatta::updateGeometry(const MapProjection &projection)
{
    for (Ship *ship : std::as_const(m_ships))
        ship->updateGeometry(projection);
    BoatLabels::thinOut(m_ships);
    m_overlay->updateGeometry(projection);
}

void Regatta::setSailNumberLabels(bool on)
{
    m_sailNumberLabels = on;
    for (Ship *ship : std::as_const(m_ships))
        ship->setSailNumberLabel(on);
}

QString Regatta::boatInfoAt(int x, int y) const
{
    const Ship *ship = shipAt(x, y);
    if (!ship)
        return QString();
    LeaderboardPanel *board = m_window->leaderboard();
    const QList<LeaderboardRow> &rows = board->upToDateRows();
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const LeaderboardRow &r) { return r.id == ship->id(); });
    return BoatLabels::infoText(*ship, row == rows.end() ? nullptr : &*row);
}

// --- tacks, gybes and wind ------------------------------------------------

Ship *Regatta::followedShip() const
{
    for (Ship *ship : m_ships)
        if (ship->follow())
            return ship;
    return nullptr;
}

void Regatta::refreshAnalysis(int t)
{
    ManoeuvrePanel *panel = m_window->manoeuvres();
    qint64 fixes = 0;
    for (const Ship *ship : std::as_const(m_ships))
        fixes += ship->rawTrack() ? ship->rawTrack()->count() : 0;
    // Working out a 1 Hz fleet takes a while: only on demand (the graphs
    // want its wind).
    if (fixes > 200000 && !panel->isVisible() && !m_window->graphs()->isVisible())
        return;
    m_analysis.update(m_ships);
    const Ship *followed = followedShip();
    const RaceAnalysis::Wind wind = m_analysis.windAt(t);
    m_overlay->setWind(wind.valid, wind.from,
                       QStringLiteral("%1° %2")
                           .arg(std::lround(wind.from) % 360)
                           .arg(RaceAnalysis::sourceText(wind.source)));
    m_overlay->setMarks(followed ? m_analysis.manoeuvres(followed->id())
                                 : QVector<Sailing::Manoeuvre>());
    m_overlay->setLaylines(laylines(followed, wind));
    m_overlay->updateGeometry(m_window->karte()->projection());
    if (panel->isVisible()) {
        if (m_legsGeneration != m_analysis.generation()) {
            m_legsGeneration = m_analysis.generation();
            m_legs.setCourse(Leaderboard::gatesOf(m_gates));
            m_legs.update(Leaderboard::boatsOf(m_ships), newestFix());
        }
        panel->show(m_analysis, m_ships, followed, t, [this](int id, int at) {
            const QVector<double> passes = m_legs.passTimes(id);
            return int(std::count_if(passes.begin(), passes.end(),
                                     [at](double passed) { return passed <= at; }));
        });
    }
}

QVector<QPair<GeoPoint, GeoPoint>> Regatta::laylines(const Ship *ship,
                                                     const RaceAnalysis::Wind &wind)
{
    QVector<QPair<GeoPoint, GeoPoint>> lines;
    if (!ship || !wind.valid || !ship->currentPoint() || !m_window->settingsPage()->laylines())
        return lines;
    // The list as last updated: forcing it here would undo its frame budget.
    const QList<LeaderboardRow> &rows = m_window->leaderboard()->rows();
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const LeaderboardRow &r) { return r.id == ship->id(); });
    if (row == rows.end() || row->nextGate < 0 || row->nextGate >= m_gates.size())
        return lines;
    return Sailing::laylines(ship->currentPoint()->position, m_gates.at(row->nextGate)->centre(),
                             wind.from, m_analysis.tackingAngle(ship->id()));
}

bool Regatta::stepManoeuvre(int step)
{
    const Ship *followed = followedShip();
    if (!followed)
        return false;
    m_analysis.update(m_ships);
    const int now = m_window->timeSlider()->value();
    const QVector<Sailing::Manoeuvre> &list = m_analysis.manoeuvres(followed->id());
    int target = 0;
    for (const Sailing::Manoeuvre &m : list) {
        if (step > 0 && m.t > now) {
            target = m.t;
            break;
        }
        if (step < 0 && m.t < now)
            target = m.t;
    }
    if (target == 0)
        return false;
    m_window->setSliderValue(target);
    return true;
}

// --- fleet in view -------------------------------------------------------

namespace
{
// The boats the map would show now, with the spot of each.
QVector<GeoPoint> placedPositions(const QList<Ship *> &ships)
{
    QVector<GeoPoint> points;
    for (const Ship *ship : ships) {
        if (ship->isShown() && ship->hasPositions() && ship->currentPoint())
            points.append(ship->currentPoint()->position);
    }
    return points;
}
} // namespace

int Regatta::newestFix() const
{
    int newest = 0;
    for (const Ship *ship : m_ships)
        newest = std::max(newest, ship->rawTrack() ? ship->rawTrack()->newestTime() : 0);
    return newest;
}

bool Regatta::fleetInView() const
{
    const MapProjection &projection = m_window->karte()->projection();
    const QRect view(0, 0, projection.width(), projection.height());
    const QVector<GeoPoint> points = placedPositions(m_ships);
    return std::any_of(points.begin(), points.end(),
                       [&](const GeoPoint &p) { return view.contains(projection.geoToView(p)); });
}

bool Regatta::showFleet()
{
    Karte *karte = m_window->karte();
    // Not above street level, where a single boat would fill the view.
    const Geo::ViewFit fit = Geo::fitView(placedPositions(m_ships), karte->viewport()->width(),
                                          karte->viewport()->height(), 40, Karte::minZoom, 14);
    if (!fit.valid)
        return false;
    karte->showView(fit.centre, fit.zoom);
    return true;
}

void Regatta::keepFleetInView()
{
    if (m_fitPending && !fleetInView())
        showFleet();
}

// --- show and follow ------------------------------------------------------

void Regatta::shipOnOff(TreeShipItem *item, bool on)
{
    Ship *ship = item ? shipById(item->id()) : nullptr;
    if (!ship)
        return; // class rows carry an id no boat has
    if (on) {
        ship->setShown(true);
    } else {
        if (ship->follow())
            ship->setFollow(false);
        ship->setShown(false);
    }
    if (!m_window->isAnimating())
        m_window->karte()->relayout();

    QString error;
    if (!BoatStore::storeShowFollow(ship->id(), ship->isShown(), ship->follow(), &error))
        qWarning().noquote() << "Cannot store the show flag of boat" << ship->id() << "-" << error;
    m_window->karte()->setFocus();
}

void Regatta::follow(Ship *ship)
{
    // resetMarks walks the ship's copy of the list, which only placed ships have.
    ship->setAllShips(m_ships);
    ship->resetMarks();
    ship->setFollow(true);
}

void Regatta::checkShip(TreeShipItem *item)
{
    Ship *ship = nullptr;
    if (item) {
        for (Ship *candidate : std::as_const(m_ships)) {
            if (candidate->id() == item->id() && candidate->isShown()) {
                ship = candidate;
                break;
            }
        }
    }
    if (ship) {
        if (!ship->follow()) {
            follow(ship);
            if (ship->pointCount() > 0 && ship->currentPoint())
                m_window->karte()->setCenterGeo(ship->currentPoint()->position);
        } else {
            ship->setFollow(false);
        }
        if (!m_window->isAnimating())
            m_window->karte()->relayout();
        storeFollow(ship);
    } else {
        for (Ship *candidate : std::as_const(m_ships)) {
            if (candidate->follow()) {
                selectLegendRow(candidate);
                break;
            }
        }
    }
    m_window->karte()->setFocus();
}

Ship *Regatta::shipAt(int x, int y) const
{
    const QRect square(x - 10, y - 10, 20, 20); // (x-10, y-10) .. (x+9, y+9)
    for (Ship *ship : std::as_const(m_ships)) {
        if (ship->pointCount() > 0 && ship->currentPoint() && ship->isShown() &&
            square.contains(ship->screenPos()))
            return ship;
    }
    return nullptr;
}

void Regatta::followAt(int x, int y)
{
    Ship *hit = shipAt(x, y);
    if (!hit) {
        stopFollowing(); // a click on open water
        return;
    }
    if (!hit->follow()) {
        follow(hit);
        m_window->karte()->setCenterGeo(hit->currentPoint()->position);
        selectLegendRow(hit);
    } else {
        hit->setFollow(false);
    }
    m_window->karte()->relayout();
    storeFollow(hit);
    Karte *karte = m_window->karte();
    QToolTip::showText(karte->viewport()->mapToGlobal(QPoint(x, y)), boatInfoAt(x, y),
                       karte->viewport());
}

void Regatta::stopFollowing()
{
    for (Ship *ship : std::as_const(m_ships)) {
        if (ship->follow()) {
            ship->setFollow(false);
            // The legend no longer shows a followed boat.
            m_window->legend()->treeView()->selectionModel()->clearSelection();
            m_window->karte()->relayout();
            return;
        }
    }
}

void Regatta::selectLegendRow(const Ship *ship)
{
    const QModelIndex index = ship->legendIndex();
    if (!index.isValid())
        return;
    QTreeView *tree = m_window->legend()->treeView();
    const int lastColumn = tree->model()->columnCount(index.parent()) - 1;
    const QItemSelection row(index.sibling(index.row(), 0), index.sibling(index.row(), lastColumn));
    // One followed boat, one selected row.
    tree->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Current);
}

Moment Regatta::currentMoment() const
{
    Moment m;
    m.eventId = m_eventId;
    m.taskId = m_taskId;
    m.time = m_window->timeSlider()->value();
    const Ship *followed = followedShip();
    m.shipId = followed ? followed->id() : 0;
    const GeoPoint centre = m_window->karte()->projection().centre();
    m.lat = centre.lat();
    m.lng = centre.lng();
    m.zoom = m_window->karte()->zoom();
    const QString when =
        QDateTime::fromSecsSinceEpoch(m.time).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    m.name = followed ? QStringLiteral("%1 \u2013 %2").arg(when, followed->name()) : when;
    return m;
}

void Regatta::restoreMoment(const Moment &moment)
{
    m_window->stopAnimation();
    QSlider *slider = m_window->timeSlider();
    m_window->setSliderValue(
        int(qBound(qint64(slider->minimum()), moment.time, qint64(slider->maximum()))));
    Ship *target = moment.shipId > 0 ? shipById(moment.shipId) : nullptr;
    if (target && !target->isShown())
        target = nullptr;
    Ship *followed = followedShip();
    if (followed && followed != target) {
        followed->setFollow(false);
        storeFollow(followed);
    }
    if (target && !target->follow()) {
        follow(target);
        storeFollow(target);
    }
    if (target)
        selectLegendRow(target);
    else
        m_window->legend()->treeView()->selectionModel()->clearSelection();
    m_fitPending = false;
    m_window->karte()->showView(GeoPoint(moment.lat, moment.lng), moment.zoom);
}

void Regatta::storeFollow(const Ship *ship)
{
    if (!BoatStore::storeOnlyFollowed(ship->regattaId(), ship->id(), ship->follow()))
        qWarning().noquote() << "Cannot store the follow flag of boat" << ship->id();
}
