#include "ui/panelsplitter.h"

PanelSplitter::PanelSplitter(QWidget *map, QWidget *panel, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent)
{
    addWidget(map);
    addWidget(panel);
    setMinimumWidth(25);
    // Closed: the tab widget would claim its minimum width for any size above 0.
    setSizes(sizesFor(false, width()));
    // Dragging the handle opens or closes the panel too; Space and the
    // stored window state must see what is on screen.
    connect(this, &QSplitter::splitterMoved, this, [this] { m_open = sizes().value(1) > 0; });
}

void PanelSplitter::toggle(int windowWidth)
{
    m_open = !m_open;
    setSizes(sizesFor(m_open, windowWidth));
}

QList<int> PanelSplitter::sizesFor(bool open, int windowWidth)
{
    if (open)
        return {windowWidth - windowWidth / 3, windowWidth / 3};
    return {windowWidth, 0};
}
