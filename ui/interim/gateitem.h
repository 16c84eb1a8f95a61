#ifndef VELMARO_UI_INTERIM_GATEITEM_H
#define VELMARO_UI_INTERIM_GATEITEM_H

// Temporary stand-in for the course gate until the scene library provides it.

#include "geo.h"

#include <QString>

class GateItem
{
public:
    GateItem(const QString &name, const GeoPoint &centre) : m_name(name), m_centre(centre) {}
    QString name() const { return m_name; }
    GeoPoint centre() const { return m_centre; }

private:
    QString m_name;
    GeoPoint m_centre;
};

#endif
