#ifndef VELMARO_UI_INTERIM_SCHEME_H
#define VELMARO_UI_INTERIM_SCHEME_H

// Temporary stand-in for the map scene until the map library provides it.

#include <QGraphicsScene>

class Scheme : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit Scheme(QObject *parent = nullptr) : QGraphicsScene(parent) {}
};

#endif
