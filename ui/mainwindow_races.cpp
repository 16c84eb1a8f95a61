// Races added and removed while the program runs: the three actions of
// "&Regatten", the race entries around them and the race list from the
// tracking service.
#include "ui/mainwindow.h"

#include "ui/iconselector.h"
#include "platform/identity.h"
#include "ui/leaderboardpanel.h"
#include "tracking/racelist.h"
#include "store/racestore.h"
#include "ui/regatta.h"
#include "ui/regattadialog.h"
#include "platform/seams.h"
#include "tracking/trackingclient.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QStatusBar>

namespace
{

constexpr int raceMessageMs = 8000;

bool userAdded(const RegattaEntry *entry)
{
    return !RaceStore::isSeeded(entry->id, entry->eventId, entry->taskId);
}

QString quoted(const QString &name)
{
    return QStringLiteral("„%1“").arg(name);
}

} // namespace

void MainWindow::buildRaceActions()
{
    // The race entries go above the separator, the actions below it.
    m_raceSeparator = m_raceMenu->addSeparator();
    m_addRaceAction = m_raceMenu->addAction(tr("Regatta hinzufügen..."));
    connect(m_addRaceAction, &QAction::triggered, this, &MainWindow::addRace);
    m_fetchRacesAction = m_raceMenu->addAction(tr("Regatten vom Server holen"));
    connect(m_fetchRacesAction, &QAction::triggered, this, &MainWindow::fetchRaces);
    m_removeRaceAction = m_raceMenu->addAction(tr("Regatta entfernen..."));
    connect(m_removeRaceAction, &QAction::triggered, this, &MainWindow::removeRace);
    m_removeRaceAction->setEnabled(false);

    m_raceListFetcher = new Tracking::RaceListFetcher(this);
    connect(m_raceListFetcher, &Tracking::RaceListFetcher::finished, this,
            &MainWindow::applyRaceList);
}

void MainWindow::clearRaceActions()
{
    qDeleteAll(m_raceActions);
    m_raceActions.clear();
    m_removeRaceAction->setEnabled(false);
}

void MainWindow::setRaceMenu(const QList<RegattaEntry *> &races)
{
    clearRaceActions();
    m_races = races;
    bool removable = false;
    for (RegattaEntry *entry : races) {
        // Names come from users and the server: an "&" is text, not a shortcut.
        auto *action = new QAction(QString(entry->name).replace(QLatin1Char('&'),
                                                                QStringLiteral("&&")),
                                   m_raceMenu);
        action->setData(entry->id);
        connect(action, &QAction::triggered, this, &MainWindow::chooseRace);
        m_raceMenu->insertAction(m_raceSeparator, action);
        m_raceActions.append(action);
        removable = removable || userAdded(entry);
    }
    m_removeRaceAction->setEnabled(removable);
}

void MainWindow::selectRaceEntry(const RegattaEntry *entry)
{
    if (!m_regatta || !entry)
        return;
    stopAnimation();
    m_regatta->select(*entry);
    setCompleteTracksState(entry->showCompleteTracks);
    setWindowTitle(QStringLiteral("%1 %2 %3")
                       .arg(QString::fromLatin1(Identity::applicationName),
                            QString::fromLatin1(Identity::version), entry->name));
}

void MainWindow::refreshRaces(int selectId)
{
    if (!m_regatta)
        return;
    m_regatta->reloadRaces();
    if (selectId == 0)
        return;
    for (const RegattaEntry *entry : std::as_const(m_races)) {
        if (entry->id == selectId) {
            selectRaceEntry(entry);
            return;
        }
    }
}

void MainWindow::addRace()
{
    RegattaDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.addedRace().id == 0)
        return;
    refreshRaces(dialog.addedRace().id);
    statusBar()->showMessage(
        tr("Regatta %1 hinzugefügt.").arg(quoted(dialog.addedRace().name)), raceMessageMs);
}

void MainWindow::fetchRaces()
{
    statusBar()->showMessage(tr("Regattaliste wird vom Server geholt..."));
    m_raceListFetcher->fetch(m_tracking->baseUrl());
}

void MainWindow::applyRaceList(const Tracking::RaceListResult &result)
{
    if (result.status != Tracking::RaceListResult::Ok) {
        statusBar()->showMessage(Tracking::raceListStatusText(result, 0), raceMessageMs);
        return;
    }
    const RaceStore::ImportResult imported = RaceStore::importRaces(result.races);
    if (!imported.ok) {
        statusBar()->showMessage(
            tr("Die Regatten konnten nicht gespeichert werden: %1").arg(imported.error),
            raceMessageMs);
        return;
    }
    if (!imported.added.isEmpty()) {
        const Race *newest = &imported.added.first();
        for (const Race &s : imported.added) {
            if (s.start > newest->start)
                newest = &s;
        }
        refreshRaces(newest->id);
    }
    statusBar()->showMessage(Tracking::raceListStatusText(result, int(imported.added.size())),
                             raceMessageMs);
}

void MainWindow::removeRace()
{
    QList<const RegattaEntry *> candidates;
    const RegattaEntry *current = nullptr;
    for (const RegattaEntry *entry : std::as_const(m_races)) {
        if (!userAdded(entry))
            continue;
        candidates.append(entry);
        if (m_regatta && m_regatta->isSelected() && entry->id == m_regatta->id())
            current = entry;
    }
    if (candidates.isEmpty()) {
        statusBar()->showMessage(
            tr("Es gibt keine hinzugefügte Regatta, die entfernt werden kann."), raceMessageMs);
        return;
    }
    const RegattaEntry *chosen = current;
    if (!chosen) {
        QStringList names;
        for (const RegattaEntry *entry : std::as_const(candidates))
            names.append(entry->name);
        QInputDialog chooser(this);
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

bool MainWindow::removeRaceWithId(int id)
{
    QString name;
    for (const RegattaEntry *entry : std::as_const(m_races)) {
        if (entry->id == id)
            name = entry->name;
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
        statusBar()->showMessage(tr("Die mitgelieferten Regatten können nicht entfernt werden."),
                                 raceMessageMs);
        return false;
    case RaceStore::RemoveResult::NotFound:
        refreshRaces(0);
        return false;
    case RaceStore::RemoveResult::Failed:
        Seams::critical(
            tr("Regatta entfernen"),
            tr("Die Regatta %1 konnte nicht entfernt werden.\n%2").arg(quoted(name), result.error),
            QMessageBox::Ok);
        return false;
    }

    const bool wasCurrent = m_regatta && m_regatta->isSelected() && m_regatta->id() == id;
    refreshRaces(0);
    // The boats shown belonged to the removed race: another race takes over.
    if (wasCurrent && !m_races.isEmpty()) {
        selectRaceEntry(m_races.first());
    } else if (wasCurrent) {
        m_regatta->clearShips();
        m_legend->clearShips();
        m_leaderboard->setCourse({});
    }
    statusBar()->showMessage(tr("Regatta %1 entfernt.").arg(quoted(name)), raceMessageMs);
    return true;
}
