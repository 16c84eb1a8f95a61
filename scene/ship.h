#ifndef VELMARO_SCENE_SHIP_H
#define VELMARO_SCENE_SHIP_H

#include "scene/track.h"

#include <QColor>
#include <QGraphicsItem>
#include <QImage>
#include <QList>
#include <QPen>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPolygonF>
#include <QString>
#include <QVector>

#include <memory>

class MapProjection;

// One boat of the selected race: identity, display flags, fixes and the
// position at the chosen moment, drawn as a turned, tinted sprite with a speed
// label and a track line. Item coordinates are view pixels; the item stays at
// the scene origin.
class Ship : public QGraphicsItem
{
public:
    enum { Type = UserType + 1 };

    Ship(int id, const QString &name, const QString &sourceKind, const QString &sourceLocation);
    ~Ship() override;
    Ship(const Ship &) = delete;
    Ship &operator=(const Ship &) = delete;

    int type() const override { return Type; }

    // Drawn for a boat whose colour text is not a colour.
    static QColor fallbackColour() { return QColor(0xff, 0x00, 0x8a); }
    // The thin rim around sprites and legend swatches.
    static QColor outlineColour() { return QColor(30, 30, 30, 220); }
    // The rim of a boat that stopped reporting, in the map and the legend.
    static QColor staleColour() { return QColor(140, 140, 140); }
    // Seconds of track drawn behind the boat unless the complete track is shown.
    static constexpr int tailSeconds = 10799;

    // Position at moment t on the display track: a copy of a fix when t
    // matches one or lies after the last (never extrapolated beyond it),
    // otherwise a point interpolated (or, before the first fix, extrapolated)
    // along the bracketing leg, which also sets speed(). Outliers are passed
    // over. The point is owned by the ship and stays valid while it is the
    // current point or until the next call. Null for an empty track.
    TrackPoint *positionAt(int t);
    // The newest fix is more than two usual fix intervals older than the
    // moment shown: drawn hollow and grey, greyed in the legend.
    bool isStale() const;
    // Whether the legend row is greyed as stale.
    bool legendStale() const { return m_legendStale; }
    void setLegendStale(bool stale) { m_legendStale = stale; }
    // Douglas-Peucker reduction of the raw track into the simplified track;
    // tolerance in degrees of plain latitude/longitude.
    void simplifyTrack(double tolerance);
    // Clears follow and restores the loaded colour of every ship of allShips().
    void resetMarks();
    QString speedText() const;
    // The label beside the boat: its speed, after the sail number when that
    // is switched on.
    QString labelText() const;
    // Where the label is drawn, in view pixels.
    QRectF labelRect() const;
    // A colour text such as "#1e90ff"; an invalid text gives fallbackColour().
    void setNamedColour(const QString &text);
    void saveColour() { m_originalColour = m_colour; }

    // Screen position, tinted sprite and track tail for the projection.
    void updateGeometry(const MapProjection &projection);

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    QList<Ship *> allShips() const { return m_allShips; }
    void setAllShips(const QList<Ship *> &ships) { m_allShips = ships; }
    int id() const { return m_id; }
    void setId(int id) { m_id = id; }
    int regattaId() const { return m_regattaId; }
    void setRegattaId(int id) { m_regattaId = id; }
    double speed() const { return m_speed; }
    void setSpeed(double knots) { m_speed = knots; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString klasse() const { return m_klasse; }
    void setKlasse(const QString &klasse) { m_klasse = klasse; }
    QString startnr() const { return m_startnr; }
    void setStartnr(const QString &startnr) { m_startnr = startnr; }
    QString skipper() const { return m_skipper; }
    void setSkipper(const QString &skipper) { m_skipper = skipper; }
    QString team() const { return m_team; }
    void setTeam(const QString &team) { m_team = team; }
    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour) { m_colour = colour; }
    QColor originalColour() const { return m_originalColour; }
    void setOriginalColour(const QColor &colour) { m_originalColour = colour; }
    QModelIndex legendIndex() const { return m_legendIndex; }
    void setLegendIndex(const QModelIndex &index) { m_legendIndex = index; }
    QString sourceKind() const { return m_sourceKind; }
    void setSourceKind(const QString &kind) { m_sourceKind = kind; }
    QString sourceLocation() const { return m_sourceLocation; }
    void setSourceLocation(const QString &location) { m_sourceLocation = location; }
    int lastget() const { return m_lastget; }
    void setLastget(int tstamp) { m_lastget = tstamp; }

    // The ship owns its tracks; the display track is the raw or the
    // simplified one (an empty third track before the first placement).
    Track *displayTrack() const { return m_displayTrack; }
    void setDisplayTrack(Track *track);
    Track *rawTrack() const { return m_rawTrack.get(); }
    Track *simplifiedTrack() const { return m_simplifiedTrack.get(); }

    // The shown track line in view pixels, from the boat backwards; the line
    // into each point listed in trackGaps() crosses a gap and is dashed.
    // Made when asked for: the map draws it in two parts, below.
    QPolygonF trackPolygon() const;
    QVector<int> trackGaps() const;
    // The part of the line the ship draws itself: from the boat back to the
    // first settled fix, a few dozen points at most; gaps as above.
    const QPolygonF &endLine() const { return m_endLine; }
    const QVector<int> &endGaps() const { return m_endGaps; }
    // The rest, which the track layer keeps drawn: fixes low .. settled of
    // `track` at `zoom`, whose kept points never change, in the view whose
    // top left corner is the world pixel `origin`. settled < 0: none.
    struct SettledLine {
        const Track *track = nullptr;
        quint64 lod = 0; // TrackLod::serial()
        int zoom = 0;
        QPointF origin;
        QRectF clip;
        int low = 0;
        int settled = -1;
        QRgb colour = 0;
        int width = 1;
    };
    SettledLine settledLine() const;
    // Unique for the life of the program, unlike the address.
    quint64 serial() const { return m_serial; }
    double simplifyTolerance() const { return m_simplifyTolerance; }
    double simplifyToleranceSquared() const { return m_simplifyToleranceSquared; }
    int currentTime() const { return m_currentTime; }
    void setCurrentTime(int t) { m_currentTime = t; }
    TrackPoint *currentPoint() const { return m_currentPoint; }
    void setCurrentPoint(TrackPoint *point);
    QPoint screenPos() const { return m_screenPos; }
    void setScreenPos(const QPoint &pos) { m_screenPos = pos; }
    // Shared by every ship of one load; kept alive by each of them.
    const QPixmap *spriteStrip() const { return m_spriteStrip.get(); }
    void setSpriteStrip(std::shared_ptr<const QPixmap> strip) { m_spriteStrip = std::move(strip); }
    // The tinted frame; an image so that ships need no GUI application until drawn.
    QImage sprite() const { return m_sprite; }
    QPoint spriteHotSpot() const { return m_spriteHotSpot; }
    bool simplifyPending() const { return m_simplifyPending; }
    void setSimplifyPending(bool pending) { m_simplifyPending = pending; }
    // "show" in the table; QGraphicsItem::show() is another thing.
    bool isShown() const { return m_show; }
    void setShown(bool shown) { m_show = shown; }
    bool showSpeedLabel() const { return m_showSpeedLabel; }
    void setShowSpeedLabel(bool on) { m_showSpeedLabel = on; }
    bool sailNumberLabel() const { return m_sailNumberLabel; }
    void setSailNumberLabel(bool on) { m_sailNumberLabel = on; }
    bool positionKnown() const { return m_positionKnown; }
    void setPositionKnown(bool known) { m_positionKnown = known; }
    bool completeTrack() const { return m_completeTrack; }
    void setCompleteTrack(bool complete) { m_completeTrack = complete; }
    bool showTrack() const { return m_showTrack; }
    void setShowTrack(bool on) { m_showTrack = on; }
    bool follow() const { return m_follow; }
    void setFollow(bool on) { m_follow = on; }
    bool hasPositions() const { return m_hasPositions; }
    void setHasPositions(bool has) { m_hasPositions = has; }
    int pointCount() const { return m_pointCount; }
    void setPointCount(int count) { m_pointCount = count; }

    // The label font: "Arial", 10 points, bold.
    static QFont labelFont();

private:
    TrackPoint *makePoint(const TrackPoint &point);
    TrackPoint *fixPoint(int i);
    void takeSpeedAt(const Track &track, int i);
    void updateBounds();

    QList<Ship *> m_allShips;
    int m_id;
    int m_regattaId = 0;
    double m_speed = 0.0;
    QString m_name;
    QString m_klasse;
    QString m_startnr;
    QString m_skipper;
    QString m_team;
    QColor m_colour;
    QColor m_originalColour;
    QPersistentModelIndex m_legendIndex;
    QString m_sourceKind;
    QString m_sourceLocation;
    int m_lastget = 0;
    std::unique_ptr<Track> m_initialTrack;
    std::unique_ptr<Track> m_rawTrack; // owns the points
    std::unique_ptr<Track> m_simplifiedTrack;
    Track *m_displayTrack;
    quint64 m_serial;
    QPolygonF m_endLine;
    QVector<int> m_endGaps;
    // The line shown at the last updateGeometry: fixes high .. line.low.
    struct LineSpan {
        int high = -1;
        bool highIsGap = false;
        SettledLine line; // without its look
    };
    LineSpan m_span;
    QPen linePen() const;
    void wholeLine(QPolygonF *line, QVector<int> *gaps) const;
    double m_simplifyTolerance = 0.0;
    double m_simplifyToleranceSquared = 0.0;
    int m_currentTime = 0;
    TrackPoint *m_currentPoint = nullptr;
    // Points made by positionAt: the newest, and the one still current.
    std::unique_ptr<TrackPoint> m_madePoint;
    std::unique_ptr<TrackPoint> m_currentMadePoint;
    QPoint m_screenPos;
    std::shared_ptr<const QPixmap> m_spriteStrip;
    QImage m_sprite;
    struct SpriteKey {
        int frame = -1;
        QRgb colour = 0;
        bool stale = false;
        qint64 strip = 0;
        bool operator==(const SpriteKey &o) const
        {
            return frame == o.frame && colour == o.colour && stale == o.stale && strip == o.strip;
        }
    };
    SpriteKey m_spriteKey;
    QPoint m_spriteHotSpot{16, 16};
    QRectF m_bounds;
    bool m_simplifyPending = false;
    bool m_show = true;
    bool m_showSpeedLabel = true;
    bool m_sailNumberLabel = false;
    bool m_positionKnown = true;
    bool m_completeTrack = true;
    bool m_showTrack = true;
    bool m_follow = false;
    bool m_legendStale = false;
    bool m_hasPositions = false;
    int m_pointCount = 0;
};

#endif
