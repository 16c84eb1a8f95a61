#ifndef VELMARO_UI_GRAPHPANEL_H
#define VELMARO_UI_GRAPHPANEL_H

#include "scene/leaderboard.h"
#include "scene/raceseries.h"

#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QWidget>

#include <functional>
#include <optional>

class GateItem;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QListWidget;
class QTimer;
class QValueAxis;
class Ship;

// The "Diagramme" tab: one figure of the followed boat and the boats ticked
// below the chart over race time, with a line at the shown moment; a click
// in the chart shows that moment. The figures are worked out a slice at a
// time whenever the boats, their fixes or the wind change; like the
// "Rangliste" it follows the animation at most every updateIntervalMs and,
// hidden, only remembers that it is out of date.
class GraphPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int updateIntervalMs = 250;
    static constexpr int sliceMs = 8;

    explicit GraphPanel(QWidget *parent = nullptr);
    ~GraphPanel() override;

    using ShipSource = std::function<QList<Ship *>()>;
    void setShipSource(ShipSource source) { m_source = std::move(source); }
    // Where the wind comes from at a moment, and a number that changes with it.
    using WindSource = std::function<std::optional<double>(int)>;
    void setWindSource(WindSource source, std::function<int()> generation)
    {
        m_wind = std::move(source);
        m_windGeneration = std::move(generation);
    }

    // A new course (race change): forgets the boats and the ticks.
    void setCourse(const QList<GateItem *> &gates);
    // The boats were deleted or rebuilt.
    void forgetShips();

    void showMoment(int t, bool animating);
    void flush();

    QComboBox *figureBox() const { return m_figure; }
    QListWidget *boatList() const { return m_boats; }
    QChartView *chartView() const { return m_view; }
    QLineSeries *momentLine() const { return m_moment; }
    // The lines of the shown figure, a boat's broken where it has no value.
    QList<QLineSeries *> boatLines() const { return m_lines; }
    bool isComputing() const;
    int shownMoment() const { return m_shownTime; }

signals:
    void momentChosen(int t);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateNow();
    void computeSlice();
    void draw();
    void placeMomentLine();
    void fillBoatList(const QList<Ship *> &ships);

    QComboBox *m_figure = nullptr;
    QListWidget *m_boats = nullptr;
    QChart *m_chart = nullptr;
    QChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_valueAxis = nullptr;
    QLineSeries *m_moment = nullptr;
    QList<QLineSeries *> m_lines;
    QTimer *m_delay = nullptr;
    QTimer *m_slices = nullptr;
    ShipSource m_source;
    WindSource m_wind;
    std::function<int()> m_windGeneration;
    QList<CourseGate> m_course;
    RaceSeries m_series;
    QList<int> m_charted; // followed boat first
    QHash<int, QColor> m_colours;
    QHash<int, QString> m_names;
    QSet<int> m_ticked;
    QList<qint64> m_signature; // what the series were worked out from
    QList<int> m_listedIds;
    QElapsedTimer m_sinceUpdate;
    int m_pendingTime = 0;
    bool m_pending = false;
    int m_shownTime = 0;
};

#endif
