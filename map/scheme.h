#ifndef VELMARO_MAP_SCHEME_H
#define VELMARO_MAP_SCHEME_H

#include <QGraphicsScene>

// The scene of the map view: boats and course gates in view pixels. The map
// tiles are the view's background, not items.
class Scheme : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit Scheme(QObject *parent = nullptr);
};

#endif
