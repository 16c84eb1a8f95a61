#include "ui/gatemenu.h"

#include "scene/gateitem.h"

#include <QAction>
#include <QMenu>

GateMenu::GateMenu(QMenu *menu) : QObject(menu), m_menu(menu) {}

void GateMenu::setGates(const QList<GateItem *> &gates)
{
    m_gates = gates;
    m_menu->clear();
    for (GateItem *gate : gates) {
        // Names may contain "&" and may start one another: the entry knows its gate.
        QAction *action = m_menu->addAction(
            QString(gate->name()).replace(QLatin1Char('&'), QStringLiteral("&&")));
        const auto centre = gate->centre();
        connect(action, &QAction::triggered, this, [this, centre] { emit gateChosen(centre); });
    }
}
