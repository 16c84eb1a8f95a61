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
        QAction *action = m_menu->addAction(gate->name());
        connect(action, &QAction::triggered, this, &GateMenu::chooseGate);
    }
}

void GateMenu::chooseGate()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString text = action->text();
    for (GateItem *gate : std::as_const(m_gates)) {
        if (text.startsWith(gate->name()))
            emit gateChosen(gate->centre());
    }
}
