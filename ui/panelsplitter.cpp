#include "ui/panelsplitter.h"

#include <QResizeEvent>

#include <algorithm>

PanelSplitter::PanelSplitter(QWidget *map, QWidget *panel, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent)
{
    addWidget(map);
    addWidget(panel);
    // Without these the panel's tree claims its full width and the map
    // becomes a strip in a small window.
    map->setMinimumWidth(mapMinimumWidth);
    panel->setMinimumWidth(panelMinimumWidth);
    setCollapsible(0, false); // only the panel closes
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
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

QList<int> PanelSplitter::narrowed(const QList<int> &sizes, int width)
{
    const int panel = sizes.value(1);
    const int limit = std::max(panelMinimumWidth, width / 2);
    if (panel <= limit)
        return sizes;
    return {std::max(0, width - limit), limit};
}

void PanelSplitter::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    if (!m_open)
        return;
    const QList<int> now = sizes();
    const QList<int> wanted = narrowed(now, now.value(0) + now.value(1));
    if (wanted != now)
        setSizes(wanted);
}
