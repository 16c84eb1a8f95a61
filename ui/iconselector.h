#ifndef VELMARO_UI_ICONSELECTOR_H
#define VELMARO_UI_ICONSELECTOR_H

#include "ui/treeshipitem.h"

#include <QColor>
#include <QDialog>
#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QString>

class QTreeView;
class Ship;
class TreeViewModel;

// What the legend shows of one boat.
struct LegendBoat {
    int id = 0;
    QString startnr;
    QString name;
    QString skipper;
    QString team;
    QColor colour;
    bool show = true;
};

// The participants legend: boats grouped by class in a tree, one check box
// per boat and class. It keeps no race state; gestures become signals.
class IconSelector : public QDialog
{
    Q_OBJECT
public:
    explicit IconSelector(QWidget *parent = nullptr);

    // Connects toggleLegende, shipClicked and shipChecked to the window's
    // slots of the same purpose; a connection that fails is reported.
    template <typename Window> void connectToMainWindow(Window *window);

    void clearShips();
    // Adds a class row at top-level row `row` with the boats beneath it, in
    // list order. Returns the column-0 index of each boat's row.
    QList<QModelIndex> addGroup(const QString &className, const QList<LegendBoat> &boats, int row);
    // The same for boats of the race; each boat learns its row's index.
    void addGroup(const QString &className, const QList<Ship *> &boats, int row);

    // Column "letzte Meldung" of the boat's row: the time of its newest fix.
    void setLastReport(const QModelIndex &boatRow, qint64 tstamp);
    // Greys the boat's row while it is not reporting (Ship::isStale).
    void setStale(const QModelIndex &boatRow, bool stale);

    QTreeView *treeView() const { return m_tree; }
    TreeViewModel *model() const { return m_model; }

signals:
    void shipClicked(TreeShipItem *item);
    void shipChecked(TreeShipItem *item, bool on);
    void toggleLegende();
    // From the context menu of a boat's row, and of any row.
    void ratingRequested(int shipId);
    void ratingImportRequested();

public slots:
    void curItem(const QModelIndex &index);
    void shipOnOff(const QModelIndex &index, bool on);
    void sectionMoved(int logicalIndex, int oldVisualIndex, int newVisualIndex);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    static void reportConnection(const QMetaObject::Connection &connection, const char *what);
    QModelIndex addShip(const LegendBoat &boat, QStandardItem *group);
    void showContextMenu(const QPoint &at);

    QTreeView *m_tree = nullptr;
    TreeViewModel *m_model = nullptr;
    QIcon m_folderIcon;
};

template <typename Window> void IconSelector::connectToMainWindow(Window *window)
{
    reportConnection(connect(this, &IconSelector::toggleLegende, window, &Window::toggleLegende),
                     "toggleLegende not connected");
    reportConnection(connect(this, &IconSelector::shipClicked, window, &Window::checkship),
                     "shipClicked not connected");
    reportConnection(connect(this, &IconSelector::shipChecked, window, &Window::shiponoff),
                     "shipChecked not connected");
}

#endif
