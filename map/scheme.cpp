#include "map/scheme.h"

Scheme::Scheme(QObject *parent) : QGraphicsScene(parent) {}
