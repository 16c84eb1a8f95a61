#ifndef VELMARO_UI_GATEMENU_H
#define VELMARO_UI_GATEMENU_H

#include "map/geo.h"

#include <QList>
#include <QObject>

class GateItem;
class QMenu;

// The "&Gates" menu: one entry per gate of the course; choosing one
// centres the map on it.
class GateMenu : public QObject
{
    Q_OBJECT
public:
    // The menu is filled here.
    explicit GateMenu(QMenu *menu);

    QMenu *menu() const { return m_menu; }
    QList<GateItem *> gates() const { return m_gates; }
    // Not owned; the entries follow the list.
    void setGates(const QList<GateItem *> &gates);

signals:
    void gateChosen(const GeoPoint &centre);

private:
    QMenu *m_menu;
    QList<GateItem *> m_gates;
};

#endif
