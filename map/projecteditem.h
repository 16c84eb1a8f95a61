#ifndef VELMARO_MAP_PROJECTEDITEM_H
#define VELMARO_MAP_PROJECTEDITEM_H

class MapProjection;

// A scene item whose pixels follow the map projection (the course gates);
// the map view reprojects the ones it holds on every refresh.
class ProjectedItem
{
public:
    virtual ~ProjectedItem() = default;
    virtual void reproject(const MapProjection &projection) = 0;
};

#endif
