#ifndef VELMARO_UI_LEADERBOARDPANEL_H
#define VELMARO_UI_LEADERBOARDPANEL_H

#include "scene/leaderboard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QWidget>

#include <functional>

class GateItem;
class QCheckBox;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class QTreeView;
class Ship;

// The "Rangliste" tab: the shown boats of the race ranked along the course,
// grouped by class as in the legend. Updated for each shown moment, but while
// the animation runs at most every updateIntervalMs, so that it never costs a
// frame; hidden, it only remembers that it is out of date.
class LeaderboardPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int updateIntervalMs = 250;

    enum Column {
        RankColumn,
        NumberColumn,
        NameColumn,
        NextGateColumn,
        NextDistanceColumn,
        FinishDistanceColumn,
        SpeedColumn,
        GapColumn,
        LegColumn,
        VmcColumn,
        Average1hColumn,
        Average4hColumn,
        Average24hColumn,
        EtaColumn,
        TimeGapColumn,
        FixAgeColumn,
        ElapsedColumn,
        CorrectedColumn,
        ColumnCount
    };

    explicit LeaderboardPanel(QWidget *parent = nullptr);

    // Where the boats of the current race come from, asked at every update
    // (boats are rebuilt on a race change, so none are kept here).
    using ShipSource = std::function<QList<Ship *>()>;
    void setShipSource(ShipSource source) { m_source = std::move(source); }

    // The wind (direction it comes from, NaN when unknown) at a moment, for
    // the VMG on beats and runs.
    using WindSource = std::function<double(int t)>;
    void setWindSource(WindSource source) { m_wind = std::move(source); }

    // A new course (race change); forgets every boat.
    void setCourse(const QList<GateItem *> &gates);
    // The gun of the race shown (0 when unknown).
    void setRaceStart(qint64 start);
    // The ratings of the race's boats by id. With any, the elapsed and
    // corrected times and the toggle for ranking by them are offered.
    void setRatings(const QHash<int, Rating> &ratings);
    const QHash<int, Rating> &ratings() const { return m_board.ratings(); }
    // Ranks by corrected time instead of along the course.
    void setRankByCorrected(bool on);
    QCheckBox *correctedToggle() const { return m_correctedToggle; }
    // The boats were deleted or rebuilt.
    void forgetShips();

    // The moment t is shown: update at once when paused, else when the last
    // update is at least updateIntervalMs old (or a timer does it later).
    void showMoment(int t, bool animating);
    // Runs an update still owed.
    void flush();

    QTreeWidget *tree() const { return m_tree; }
    // Rank, number and boat, kept in view over the tree while the rest scrolls.
    QTreeView *frozenView() const { return m_frozen; }
    static constexpr int frozenColumns = NameColumn + 1;
    // Hides or shows one of the scrolling columns and keeps the choice.
    void setColumnShown(int column, bool shown);
    const QList<LeaderboardRow> &rows() const { return m_rows; }
    // The rows for the shown moment, updated first when one is owed, even
    // while the tab is hidden.
    const QList<LeaderboardRow> &upToDateRows();
    int updateCount() const { return m_updates; }
    int shownMoment() const { return m_shownTime; }
    // The row of a boat, or nullptr.
    QTreeWidgetItem *itemForShip(int id) const { return m_boatItems.value(id); }

    static QString distanceText(double km);
    static QString gapText(double km);
    // "vor 12 min" for a fix that old; empty when unknown.
    static QString ageText(double secs);
    // "2:03:04", with days in front ("1 T 2:03:04"); a sign when asked.
    static QString durationText(double secs, bool sign = false);
    // How a column's figure is computed.
    static QString columnToolTip(int column);

signals:
    // A boat's row was clicked.
    void shipClicked(int id);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateNow();
    void fill();
    QTreeWidgetItem *classItem(const QString &klasse);
    void buildFrozenView();
    void placeFrozenView();
    void syncFrozenRows();
    void showColumnMenu(const QPoint &at);
    void showHandicapColumns();
    void fillRow(QTreeWidgetItem *item, const LeaderboardRow &row);

    QTreeWidget *m_tree = nullptr;
    QTreeView *m_frozen = nullptr;
    QTimer *m_delay = nullptr;
    QCheckBox *m_correctedToggle = nullptr;
    ShipSource m_source;
    WindSource m_wind;
    Leaderboard m_board;
    QList<LeaderboardRow> m_rows;
    QHash<int, QTreeWidgetItem *> m_boatItems;
    QHash<QString, QTreeWidgetItem *> m_classItems;
    QSet<int> m_hiddenColumns; // as the user chose
    QElapsedTimer m_sinceUpdate;
    int m_pendingTime = 0;
    bool m_pending = false;
    int m_shownTime = 0;
    int m_updates = 0;
};

#endif
