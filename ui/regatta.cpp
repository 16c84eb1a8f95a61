#include "regatta.h"

#include "gateitem.h"
#include "iconselector.h"
#include "mainwindow.h"
#include "seams.h"

#include <QSqlQuery>

QList<RegattaEntry *> loadRaceList()
{
    QList<RegattaEntry *> races;
    QSqlQuery query;
    if (!query.exec(QStringLiteral("SELECT id, event_id, task_id, name, von, bis, "
                                   "showcompletetracks FROM regatta ORDER BY von DESC")))
        return races;
    while (query.next()) {
        auto *entry = new RegattaEntry;
        entry->id = query.value(0).toInt();
        entry->eventId = query.value(1).toInt();
        entry->taskId = query.value(2).toInt();
        entry->name = query.value(3).toString();
        entry->start = query.value(4).toLongLong();
        entry->end = query.value(5).toLongLong();
        entry->showCompleteTracks = query.value(6).toInt() == 1;
        races.append(entry);
    }
    return races;
}

Regatta::Regatta(MainWindow *window, int eventId, int taskId)
    : m_window(window), m_eventId(eventId), m_taskId(taskId)
{
    m_window->setRegatta(this);
    m_races = loadRaceList();
    m_window->loadPreferences();
    m_window->fillRaceMenu(m_races, eventId, taskId);
}

Regatta::~Regatta()
{
    if (m_window->regatta() == this)
        m_window->setRegatta(nullptr);
    m_window->fillGateMenu({});
    qDeleteAll(m_gates);
    qDeleteAll(m_races);
}

void Regatta::select(const RegattaEntry &entry)
{
    m_window->legend()->clearShips();
    m_name = entry.name;
    m_id = entry.id;
    m_eventId = entry.eventId;
    m_taskId = entry.taskId;
    m_start = entry.start;

    m_window->fillGateMenu(m_gates);

    const bool finished = entry.end < Seams::nowSecs();
    m_window->setRaceFinished(finished);
    m_end = entry.end;
}

void Regatta::showMoment(int) {}

void Regatta::setCompleteTrack(bool) {}

void Regatta::getData() {}

void Regatta::shipOnOff(TreeShipItem *, bool) {}

void Regatta::checkShip(TreeShipItem *) {}

void Regatta::followAt(int, int) {}

void Regatta::stopFollowing() {}

void Regatta::updateGeometry(const MapProjection &) {}

QString Regatta::gateName(const GateItem *gate)
{
    return gate->name();
}

GeoPoint Regatta::gateCentre(const GateItem *gate)
{
    return gate->centre();
}
