#include "ui/iconselector.h"

#include "platform/seams.h"
#include "scene/ship.h"
#include "ui/treeviewmodel.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

IconSelector::IconSelector(QWidget *parent) : QDialog(parent, Qt::WindowFlags())
{
    m_tree = new QTreeView;
    m_tree->installEventFilter(this);

    const QStringList headers{tr("Nr."), tr("Team"), tr("Boot"), tr("Skipper"),
                              tr("letzte Meldung")};
    m_model = new TreeViewModel(this, headers);
    m_tree->setModel(m_model);

    m_folderIcon.addPixmap(style()->standardPixmap(QStyle::SP_DirClosedIcon), QIcon::Normal,
                           QIcon::Off);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_tree);
    setLayout(layout);
    setWindowTitle(tr("Icons auswählen"));

    reportConnection(connect(m_tree, &QTreeView::clicked, this, &IconSelector::curItem),
                     "itemClicked not connected");
    reportConnection(connect(m_model, &TreeViewModel::shipOnOff, this, &IconSelector::shipOnOff),
                     "shipOnOff not connected");
    reportConnection(
        connect(m_tree->header(), &QHeaderView::sectionMoved, this, &IconSelector::sectionMoved),
        "sectionMoved not connected");
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &IconSelector::showContextMenu);
    setFocusPolicy(Qt::StrongFocus);
}

void IconSelector::showContextMenu(const QPoint &at)
{
    const QModelIndex index = m_tree->indexAt(at);
    const TreeShipItem *item =
        index.isValid() ? TreeShipItem::cast(m_model->itemFromIndex(index.siblingAtColumn(0)))
                        : nullptr;
    QMenu menu;
    if (item && !item->isClassRow()) {
        const int id = item->id();
        menu.addAction(tr("Vergütung von %1...").arg(item->label()), this,
                       [this, id] { emit ratingRequested(id); });
    }
    menu.addAction(tr("Vergütungen importieren..."), this, &IconSelector::ratingImportRequested);
    menu.exec(m_tree->viewport()->mapToGlobal(at));
}

void IconSelector::reportConnection(const QMetaObject::Connection &connection, const char *what)
{
    if (!connection)
        Seams::critical(QStringLiteral("cono"), QString::fromLatin1(what), QMessageBox::Cancel);
}

void IconSelector::clearShips()
{
    m_model->removeRows(0, m_model->rowCount(QModelIndex()));
}

QList<QModelIndex> IconSelector::addGroup(const QString &className, const QList<LegendBoat> &boats,
                                          int row)
{
    // Ticked while any of its boats is shown: a class hidden as a whole stays
    // unticked after a restart, and one click shows it again.
    const bool anyShown =
        std::any_of(boats.begin(), boats.end(), [](const LegendBoat &b) { return b.show; });
    auto *group = new TreeShipItem(className, anyShown);
    group->setData(m_folderIcon, Qt::DecorationRole);
    m_model->setItem(row, 0, group);

    QList<QModelIndex> indexes;
    indexes.reserve(boats.size());
    for (const LegendBoat &boat : boats)
        indexes.append(addShip(boat, group));
    m_tree->setFirstColumnSpanned(row, QModelIndex(), true);
    return indexes;
}

void IconSelector::addGroup(const QString &className, const QList<Ship *> &boats, int row)
{
    QList<LegendBoat> rows;
    rows.reserve(boats.size());
    for (const Ship *ship : boats) {
        LegendBoat boat;
        boat.id = ship->id();
        boat.startnr = ship->startnr();
        boat.name = ship->name();
        boat.skipper = ship->skipper();
        boat.team = ship->team();
        boat.colour = ship->colour();
        boat.show = ship->isShown();
        rows.append(boat);
    }
    const QList<QModelIndex> indexes = addGroup(className, rows, row);
    for (int i = 0; i < boats.size(); ++i)
        boats.at(i)->setLegendIndex(indexes.at(i));
}

QModelIndex IconSelector::addShip(const LegendBoat &boat, QStandardItem *group)
{
    auto *item = new TreeShipItem(boat.startnr, boat.name, boat.skipper, boat.team, boat.colour,
                                  boat.id, boat.show);
    auto *lastReport = new QStandardItem;
    lastReport->setEditable(false);
    const QList<QStandardItem *> row{item, item->teamItem(), item->nameItem(), item->skipperItem(),
                                     lastReport};
    group->insertRow(group->rowCount(), row);
    return m_model->indexFromItem(item);
}

void IconSelector::setLastReport(const QModelIndex &boatRow, qint64 tstamp)
{
    QStandardItem *item = m_model->itemFromIndex(boatRow.siblingAtColumn(4));
    if (item && tstamp > 0)
        item->setText(
            QDateTime::fromSecsSinceEpoch(tstamp).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

void IconSelector::setStale(const QModelIndex &boatRow, bool stale)
{
    const QModelIndex first = boatRow.siblingAtColumn(0);
    for (int column = 0; column < m_model->columnCount(first.parent()); ++column) {
        if (QStandardItem *item = m_model->itemFromIndex(first.siblingAtColumn(column)))
            item->setData(stale ? QVariant(QBrush(Ship::staleColour())) : QVariant(),
                          Qt::ForegroundRole);
    }
}

void IconSelector::curItem(const QModelIndex &index)
{
    if (!index.parent().isValid())
        return; // class row
    const QModelIndex first = index.sibling(index.row(), 0);
    if (!first.isValid())
        return;
    if (TreeShipItem *item = TreeShipItem::cast(m_model->itemFromIndex(first)))
        emit shipClicked(item);
}

void IconSelector::shipOnOff(const QModelIndex &index, bool on)
{
    if (!index.isValid())
        return;
    if (TreeShipItem *item = TreeShipItem::cast(m_model->itemFromIndex(index)))
        emit shipChecked(item, on);
}

void IconSelector::sectionMoved(int logicalIndex, int oldVisualIndex, int newVisualIndex)
{
    // "Nr." carries the check boxes and the tree lines, so it stays first.
    QHeaderView *header = m_tree->header();
    if (logicalIndex == 0 && newVisualIndex > 0)
        header->moveSection(newVisualIndex, 0);
    else if (logicalIndex != 0 && newVisualIndex == 0)
        header->moveSection(0, oldVisualIndex);
}

bool IconSelector::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        emit toggleLegende();
        return true; // the tree would toggle the current check box
    }
    return QDialog::eventFilter(watched, event);
}

void IconSelector::keyPressEvent(QKeyEvent *event)
{
    // As a tab page the dialog must not close itself on Escape.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
