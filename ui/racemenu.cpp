#include "ui/racemenu.h"

#include "platform/seams.h"
#include "store/racestore.h"
#include "tracking/racelist.h"
#include "tracking/trackingclient.h"
#include "ui/importflow.h"
#include "ui/regatta.h"
#include "ui/regattadialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>

namespace
{

constexpr int raceMessageMs = 8000;

bool userAdded(const Race &race)
{
    return !RaceStore::isSeeded(race.id, race.eventId, race.taskId);
}

QString quoted(const QString &name)
{
    return QCoreApplication::translate("RaceMenu", "„%1“").arg(name);
}

} // namespace

RaceMenu::RaceMenu(QMenu *menu, TrackingClient *tracking, QWidget *dialogParent)
    : QObject(menu), m_menu(menu), m_tracking(tracking), m_dialogParent(dialogParent)
{
    m_raceGroup = new QActionGroup(this);
    m_raceGroup->setExclusive(true);
    // The race entries go above the separator, the actions below it.
    m_raceSeparator = m_menu->addSeparator();
    m_addRaceAction = m_menu->addAction(tr("Regatta hinzufügen..."));
    connect(m_addRaceAction, &QAction::triggered, this, &RaceMenu::addRace);
    m_importRaceAction = m_menu->addAction(tr("Regatta aus Dateien importieren..."));
    connect(m_importRaceAction, &QAction::triggered, this, [this] {
        importFiles(QFileDialog::getOpenFileNames(
            m_dialogParent, tr("Regatta aus Dateien importieren"), QString(),
            tr("GPX- und NMEA-Dateien (*.gpx *.nmea *.nma *.log *.txt);;Alle Dateien (*)")));
    });
    m_fetchRacesAction = m_menu->addAction(tr("Regatten vom Server holen"));
    connect(m_fetchRacesAction, &QAction::triggered, this, &RaceMenu::fetchRaces);
    m_removeRaceAction = m_menu->addAction(tr("Regatta entfernen..."));
    connect(m_removeRaceAction, &QAction::triggered, this, &RaceMenu::removeRace);
    m_removeRaceAction->setEnabled(false);

    m_raceListFetcher = new Tracking::RaceListFetcher(this);
    connect(m_raceListFetcher, &Tracking::RaceListFetcher::finished, this,
            &RaceMenu::applyRaceList);
}

void RaceMenu::clear()
{
    m_races.clear();
    qDeleteAll(m_raceActions);
    m_raceActions.clear();
    m_removeRaceAction->setEnabled(false);
}

void RaceMenu::setRaces(const QVector<Race> &races)
{
    clear();
    m_races = races;
    bool removable = false;
    for (const Race &race : races) {
        // Names come from users and the server: an "&" is text, not a shortcut.
        const QString name = QString(race.name).replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString date =
            QDateTime::fromSecsSinceEpoch(race.start).toString(QStringLiteral("dd.MM.yyyy"));
        auto *action = new QAction(QStringLiteral("%1 (%2)").arg(name, date), m_menu);
        action->setData(race.id);
        action->setCheckable(true);
        action->setChecked(m_regatta && m_regatta->isSelected() && m_regatta->id() == race.id);
        m_raceGroup->addAction(action);
        // By row id: with races named by users one name can start another.
        connect(action, &QAction::triggered, this, [this, id = race.id] {
            if (m_regatta)
                select(id);
        });
        m_menu->insertAction(m_raceSeparator, action);
        m_raceActions.append(action);
        removable = removable || userAdded(race);
    }
    m_removeRaceAction->setEnabled(removable);
}

void RaceMenu::markCurrent(int id)
{
    for (QAction *action : std::as_const(m_raceActions))
        action->setChecked(action->data().toInt() == id);
}

void RaceMenu::select(int id)
{
    for (const Race &entry : std::as_const(m_races)) {
        if (entry.id == id) {
            emit raceChosen(&entry);
            return;
        }
    }
}

void RaceMenu::refresh(int selectId)
{
    if (!m_regatta)
        return;
    m_regatta->reloadRaces();
    if (selectId != 0)
        select(selectId);
}

const Race *RaceMenu::find(int eventId, int taskId) const
{
    const Race *found = nullptr;
    for (const Race &race : m_races) {
        if (race.eventId == eventId && race.taskId == taskId)
            found = &race;
    }
    return found;
}

void RaceMenu::setCompleteTracks(bool on)
{
    if (!m_regatta)
        return;
    RaceStore::setShowCompleteTracks(m_regatta->id(), on);
    // The race list is read once; without this, choosing the race again
    // in this run would show the choice from before the click.
    for (Race &entry : m_races) {
        if (entry.id == m_regatta->id())
            entry.showCompleteTracks = on;
    }
    m_regatta->setCompleteTrack(on);
}

void RaceMenu::addRace()
{
    RegattaDialog dialog(m_dialogParent);
    if (dialog.exec() != QDialog::Accepted || dialog.addedRace().id == 0)
        return;
    refresh(dialog.addedRace().id);
    emit message(tr("Regatta %1 hinzugefügt.").arg(quoted(dialog.addedRace().name)), raceMessageMs);
}

Race RaceMenu::importFiles(const QStringList &paths, const ImportFlow::DialogRunner &runDialog)
{
    const Race race = ImportFlow::run(paths, m_dialogParent, runDialog);
    if (race.id == 0)
        return race;
    refresh(race.id);
    emit message(tr("Regatta %1 importiert.").arg(quoted(race.name)), raceMessageMs);
    return race;
}

void RaceMenu::fetchRaces()
{
    emit message(tr("Regattaliste wird vom Server geholt..."), 0);
    m_raceListFetcher->fetch(m_tracking->baseUrl());
}

void RaceMenu::applyRaceList(const Tracking::RaceListResult &result)
{
    if (result.status != Tracking::RaceListResult::Ok) {
        emit message(Tracking::raceListStatusText(result, 0), raceMessageMs);
        return;
    }
    const RaceStore::ImportResult imported = RaceStore::importRaces(result.races);
    if (!imported.ok) {
        emit message(tr("Die Regatten konnten nicht gespeichert werden: %1").arg(imported.error),
                     raceMessageMs);
        return;
    }
    if (!imported.added.isEmpty()) {
        const Race *newest = &imported.added.first();
        for (const Race &s : imported.added) {
            if (s.start > newest->start)
                newest = &s;
        }
        refresh(newest->id);
    }
    emit message(Tracking::raceListStatusText(result, int(imported.added.size())), raceMessageMs);
}

void RaceMenu::removeRace()
{
    QList<const Race *> candidates;
    const Race *current = nullptr;
    for (const Race &entry : std::as_const(m_races)) {
        if (!userAdded(entry))
            continue;
        candidates.append(&entry);
        if (m_regatta && m_regatta->isSelected() && entry.id == m_regatta->id())
            current = &entry;
    }
    if (candidates.isEmpty()) {
        emit message(tr("Es gibt keine hinzugefügte Regatta, die entfernt werden kann."),
                     raceMessageMs);
        return;
    }
    const Race *chosen = current;
    if (!chosen) {
        QStringList names;
        for (const Race *race : std::as_const(candidates))
            names.append(race->name);
        QInputDialog chooser(m_dialogParent);
        chooser.setObjectName(QStringLiteral("raceChooser"));
        chooser.setWindowTitle(tr("Regatta entfernen"));
        chooser.setLabelText(tr("Welche Regatta soll entfernt werden?"));
        chooser.setComboBoxItems(names);
        chooser.setComboBoxEditable(false);
        chooser.setOkButtonText(tr("Weiter"));
        chooser.setCancelButtonText(tr("Abbrechen"));
        if (chooser.exec() != QDialog::Accepted)
            return;
        const int at = int(names.indexOf(chooser.textValue()));
        if (at < 0)
            return;
        chosen = candidates.at(at);
    }
    removeRaceWithId(chosen->id);
}

bool RaceMenu::removeRaceWithId(int id)
{
    QString name;
    for (const Race &entry : std::as_const(m_races)) {
        if (entry.id == id)
            name = entry.name;
    }
    Seams::MessageBoxRequest ask;
    ask.icon = QMessageBox::Question;
    ask.title = tr("Regatta entfernen");
    ask.text = tr("Soll die Regatta %1 mit allen Booten und Positionen entfernt werden?")
                   .arg(quoted(name));
    ask.buttons = QMessageBox::Yes | QMessageBox::No;
    ask.defaultButton = QMessageBox::No;
    ask.buttonTexts = {{QMessageBox::Yes, tr("Entfernen")}, {QMessageBox::No, tr("Abbrechen")}};
    if (Seams::showMessage(ask) != QMessageBox::Yes)
        return false;

    const Race stored = RaceStore::race(id);
    const RaceStore::RemoveResult result = RaceStore::remove(id);
    switch (result.status) {
    case RaceStore::RemoveResult::Removed:
        m_tracking->discardRace(stored.eventId, stored.taskId);
        break;
    case RaceStore::RemoveResult::Seeded:
        emit message(tr("Die mitgelieferten Regatten können nicht entfernt werden."),
                     raceMessageMs);
        return false;
    case RaceStore::RemoveResult::NotFound:
        refresh(0);
        return false;
    case RaceStore::RemoveResult::Failed:
        Seams::critical(
            tr("Regatta entfernen"),
            tr("Die Regatta %1 konnte nicht entfernt werden.\n%2").arg(quoted(name), result.error),
            QMessageBox::Ok);
        return false;
    }

    const bool wasCurrent = m_regatta && m_regatta->isSelected() && m_regatta->id() == id;
    refresh(0);
    // The boats shown belonged to the removed race: another race takes over.
    if (wasCurrent && !m_races.isEmpty()) {
        emit raceChosen(&std::as_const(m_races).first());
    } else if (wasCurrent) {
        m_regatta->clearShips();
        emit shownRaceGone();
    }
    emit message(tr("Regatta %1 entfernt.").arg(quoted(name)), raceMessageMs);
    return true;
}
