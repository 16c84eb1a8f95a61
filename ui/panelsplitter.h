#ifndef VELMARO_UI_PANELSPLITTER_H
#define VELMARO_UI_PANELSPLITTER_H

#include <QList>
#include <QSplitter>

// The map on the left, the side panel on the right, the panel either closed
// (width 0) or open at a third of the window.
class PanelSplitter : public QSplitter
{
    Q_OBJECT
public:
    PanelSplitter(QWidget *map, QWidget *panel, QWidget *parent = nullptr);

    // What is on screen: the handle may have been dragged.
    bool isOpen() const { return m_open; }
    void toggle(int windowWidth);

    // The sizes toggle applies for a window width.
    static QList<int> sizesFor(bool open, int windowWidth);
    // When the window narrows the panel gives way first: the map keeps half
    // the width while the panel is above its minimum. Sizes for an open panel.
    static QList<int> narrowed(const QList<int> &sizes, int width);

    static constexpr int mapMinimumWidth = 160;
    static constexpr int panelMinimumWidth = 200;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_open = false;
};

#endif
