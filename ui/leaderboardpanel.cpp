#include "ui/leaderboardpanel.h"

#include "platform/config.h"
#include "scene/gateitem.h"
#include "scene/handicap.h"
#include "scene/ship.h"

#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{

constexpr int idRole = Qt::UserRole;
const QString hiddenColumnsKey = QStringLiteral("leaderboardHiddenColumns");

void setTextIfChanged(QTreeWidgetItem *item, int column, const QString &text)
{
    if (item->text(column) != text)
        item->setText(column, text);
}

// Whether the children of `parent` (or the top level) are `wanted`, in order.
bool sameOrder(const QList<QTreeWidgetItem *> &present, const QList<QTreeWidgetItem *> &wanted)
{
    return present == wanted;
}

} // namespace

LeaderboardPanel::LeaderboardPanel(QWidget *parent) : QWidget(parent)
{
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("rangliste"));
    m_tree->setColumnCount(ColumnCount);
    m_tree->setHeaderLabels({tr("Rang"), tr("Nr."), tr("Boot"), tr("nächste Marke"),
                             tr("Dist. nächste Marke"), tr("Dist. Ziel"), tr("Speed"),
                             tr("Abstand"), tr("Schenkel"), tr("VMC"), tr("Ø 1 h"), tr("Ø 4 h"),
                             tr("Ø 24 h"), tr("Ankunft"), tr("Abstand (Zeit)"),
                             tr("letzte Meldung"), tr("Segelzeit"), tr("berechnete Zeit")});
    for (int c = 0; c < ColumnCount; ++c)
        m_tree->headerItem()->setToolTip(c, columnToolTip(c));
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setAllColumnsShowFocus(true);
    // Widths fixed from sample texts: sizing columns to their contents makes
    // every changed cell measure the whole column again.
    QHeaderView *header = m_tree->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    const QFontMetrics metrics(m_tree->font());
    const auto fit = [&](int column, const QString &sample) {
        const int text = metrics.horizontalAdvance(sample) + 24;
        const int title = metrics.horizontalAdvance(m_tree->headerItem()->text(column)) + 24;
        header->resizeSection(column, qMax(text, title));
    };
    fit(RankColumn, QStringLiteral("999"));
    fit(NumberColumn, QStringLiteral("GER 1234"));
    fit(NameColumn, QStringLiteral("Boot mit langem Namen"));
    fit(NextGateColumn, QStringLiteral("im Ziel 30.12. 23:59"));
    fit(NextDistanceColumn, QStringLiteral("9999.9 km"));
    fit(FinishDistanceColumn, QStringLiteral("9999.9 km"));
    fit(SpeedColumn, QStringLiteral("99.9 kn"));
    fit(GapColumn, QStringLiteral("+999.9 km (999.9 sm)"));
    fit(LegColumn, QStringLiteral("9: Luvtonne – Leetonne"));
    for (int c : {VmcColumn, Average1hColumn, Average4hColumn, Average24hColumn})
        fit(c, QStringLiteral("\u221299.9 kn"));
    fit(EtaColumn, QStringLiteral("30.12. 23:59"));
    fit(TimeGapColumn, QStringLiteral("+9 T 23:59:59"));
    fit(FixAgeColumn, QStringLiteral("vor 23 h 59 min"));
    fit(ElapsedColumn, QStringLiteral("9 T 23:59:59"));
    fit(CorrectedColumn, QStringLiteral("\u2248 9 T 23:59:59"));

    buildFrozenView();
    // Which scrolling columns the user hid, kept with the window settings.
    const QStringList hidden = std::unique_ptr<QSettings>(Config::windowSettings())
                                   ->value(hiddenColumnsKey)
                                   .toStringList();
    for (const QString &column : hidden) {
        const int c = column.toInt();
        if (c >= frozenColumns && c < ColumnCount)
            m_hiddenColumns.insert(c);
    }
    showHandicapColumns();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &LeaderboardPanel::showColumnMenu);

    m_correctedToggle = new QCheckBox(tr("Nach berechneter Zeit ordnen"));
    m_correctedToggle->setObjectName(QStringLiteral("nachBerechneterZeit"));
    m_correctedToggle->setToolTip(
        tr("Ordnet jede Klasse nach der berechneten Zeit (im Ziel, sonst vorausberechnet aus "
           "der Ankunft); Boote ohne Vergütung folgen in der Reihenfolge auf der Bahn."));
    m_correctedToggle->setVisible(false);
    connect(m_correctedToggle, &QCheckBox::toggled, this, &LeaderboardPanel::setRankByCorrected);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_correctedToggle);
    layout->addWidget(m_tree);

    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    connect(m_delay, &QTimer::timeout, this, &LeaderboardPanel::flush);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) {
        const QVariant id = item ? item->data(0, idRole) : QVariant();
        if (id.isValid())
            emit shipClicked(id.toInt());
    });
}

void LeaderboardPanel::buildFrozenView()
{
    // A second view on the same model over the left of the tree, as in Qt's
    // frozen-column example: the tree scrolls beneath it.
    m_frozen = new QTreeView(m_tree);
    m_frozen->setObjectName(QStringLiteral("ranglisteFest"));
    m_frozen->setModel(m_tree->model());
    m_frozen->setSelectionModel(m_tree->selectionModel());
    m_frozen->setUniformRowHeights(true);
    m_frozen->setAllColumnsShowFocus(true);
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollMode(m_tree->verticalScrollMode());
    m_frozen->header()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->header()->setStretchLastSection(false);
    for (int c = 0; c < ColumnCount; ++c) {
        m_frozen->setColumnHidden(c, c >= frozenColumns);
        if (c < frozenColumns)
            m_frozen->header()->resizeSection(c, m_tree->header()->sectionSize(c));
    }
    m_tree->viewport()->stackUnder(m_frozen);
    // The viewport's own size: the tree's resize comes before its viewport's.
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree->header(), &QHeaderView::sectionResized, this, [this](int c, int, int size) {
        if (c < frozenColumns) {
            m_frozen->header()->resizeSection(c, size);
            placeFrozenView();
        }
    });
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged,
            m_tree->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(m_tree->verticalScrollBar(), &QAbstractSlider::valueChanged,
            m_frozen->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(m_frozen, &QTreeView::expanded, m_tree, &QTreeView::expand);
    connect(m_frozen, &QTreeView::collapsed, m_tree, &QTreeView::collapse);
    connect(m_tree, &QTreeView::expanded, m_frozen, &QTreeView::expand);
    connect(m_tree, &QTreeView::collapsed, m_frozen, &QTreeView::collapse);
    connect(m_frozen, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        const QVariant id = index.siblingAtColumn(0).data(idRole);
        if (id.isValid())
            emit shipClicked(id.toInt());
    });
    placeFrozenView();
}

void LeaderboardPanel::placeFrozenView()
{
    int width = 0;
    for (int c = 0; c < frozenColumns; ++c)
        width += m_tree->header()->sectionSize(c);
    // In a narrow panel the scrolling columns keep half of it.
    width = std::min(width, std::max(m_tree->viewport()->width() / 2, 60));
    const int frame = m_tree->frameWidth();
    m_frozen->setGeometry(frame, frame, width,
                          m_tree->viewport()->height() + m_tree->header()->height());
}

void LeaderboardPanel::syncFrozenRows()
{
    QAbstractItemModel *model = m_tree->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex group = model->index(row, 0);
        m_frozen->setFirstColumnSpanned(row, QModelIndex(), true);
        m_frozen->setExpanded(group, m_tree->isExpanded(group));
    }
}

bool LeaderboardPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree->viewport() && event->type() == QEvent::Resize)
        placeFrozenView();
    return QWidget::eventFilter(watched, event);
}

void LeaderboardPanel::showColumnMenu(const QPoint &at)
{
    QMenu menu;
    for (int c = frozenColumns; c < ColumnCount; ++c) {
        QAction *action = menu.addAction(m_tree->headerItem()->text(c));
        action->setCheckable(true);
        action->setChecked(!m_hiddenColumns.contains(c));
        connect(action, &QAction::toggled, this, [this, c](bool on) { setColumnShown(c, on); });
    }
    menu.exec(m_tree->header()->mapToGlobal(at));
}

void LeaderboardPanel::setColumnShown(int column, bool shown)
{
    if (column < frozenColumns || column >= ColumnCount)
        return; // the frozen columns always stay
    if (shown)
        m_hiddenColumns.remove(column);
    else
        m_hiddenColumns.insert(column);
    showHandicapColumns();
    QStringList hidden;
    for (int c = frozenColumns; c < ColumnCount; ++c) {
        if (m_hiddenColumns.contains(c))
            hidden.append(QString::number(c));
    }
    std::unique_ptr<QSettings>(Config::windowSettings())->setValue(hiddenColumnsKey, hidden);
}

void LeaderboardPanel::showHandicapColumns()
{
    // Elapsed and corrected times mean nothing without ratings.
    const bool rated = m_board.hasRatings();
    for (int c = frozenColumns; c < ColumnCount; ++c) {
        const bool handicap = c == ElapsedColumn || c == CorrectedColumn;
        m_tree->setColumnHidden(c, m_hiddenColumns.contains(c) || (handicap && !rated));
    }
}

void LeaderboardPanel::setRaceStart(qint64 start)
{
    m_board.setRaceStart(start);
    m_pending = true;
}

void LeaderboardPanel::setRatings(const QHash<int, Rating> &ratings)
{
    m_board.setRatings(ratings);
    showHandicapColumns();
    m_correctedToggle->setVisible(!ratings.isEmpty());
    if (ratings.isEmpty())
        m_correctedToggle->setChecked(false);
    m_pending = true;
    flush();
}

void LeaderboardPanel::setRankByCorrected(bool on)
{
    if (m_correctedToggle->isChecked() != on)
        m_correctedToggle->setChecked(on); // comes back here
    if (m_board.ranksByCorrected() == on)
        return;
    m_board.setRankByCorrected(on);
    m_pending = true;
    flush();
}

const QList<LeaderboardRow> &LeaderboardPanel::upToDateRows()
{
    if (m_pending)
        updateNow();
    return m_rows;
}

void LeaderboardPanel::setCourse(const QList<GateItem *> &gates)
{
    m_board.setCourse(Leaderboard::gatesOf(gates));
    m_rows.clear();
    m_boatItems.clear();
    m_classItems.clear();
    m_tree->clear();
    m_pending = true;
}

void LeaderboardPanel::forgetShips()
{
    // Boats of a new load may reuse ids and even track addresses.
    m_board.setCourse(m_board.course());
    m_pending = true;
}

void LeaderboardPanel::showMoment(int t, bool animating)
{
    m_pendingTime = t;
    m_pending = true;
    if (!isVisible())
        return; // caught up in showEvent
    const qint64 age = m_sinceUpdate.isValid() ? m_sinceUpdate.elapsed() : updateIntervalMs;
    if (!animating || age >= updateIntervalMs) {
        updateNow();
    } else if (!m_delay->isActive()) {
        m_delay->start(static_cast<int>(updateIntervalMs - age));
    }
}

void LeaderboardPanel::flush()
{
    if (m_pending && isVisible())
        updateNow();
}

void LeaderboardPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    flush();
}

void LeaderboardPanel::updateNow()
{
    m_delay->stop();
    m_pending = false;
    const QList<Ship *> ships = m_source ? m_source() : QList<Ship *>();
    const double wind = m_wind ? m_wind(m_pendingTime) : LeaderboardRow::none;
    m_rows = m_board.update(Leaderboard::boatsOf(ships), m_pendingTime, wind);
    m_shownTime = m_pendingTime;
    fill();
    ++m_updates;
    m_sinceUpdate.start();
}

QString LeaderboardPanel::distanceText(double km)
{
    if (!std::isfinite(km))
        return QString();
    return QStringLiteral("%1 km").arg(km, 0, 'f', 1);
}

QString LeaderboardPanel::gapText(double km)
{
    if (!std::isfinite(km))
        return QString();
    return tr("%1%2 km (%3 sm)")
        .arg(km < 0 ? QStringLiteral("\u2212") : QStringLiteral("+"))
        .arg(std::abs(km), 0, 'f', 1)
        .arg(std::abs(km) / 1.852, 0, 'f', 1);
}

QString LeaderboardPanel::ageText(double secs)
{
    if (!std::isfinite(secs))
        return QString();
    const qint64 s = std::max<qint64>(0, std::llround(secs));
    if (s < 60)
        return tr("vor %1 s").arg(s);
    if (s < 3600)
        return tr("vor %1 min").arg(s / 60);
    if (s < 86400)
        return tr("vor %1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
    return tr("vor %1 T %2 h").arg(s / 86400).arg(s % 86400 / 3600);
}

QString LeaderboardPanel::durationText(double secs, bool sign)
{
    if (!std::isfinite(secs))
        return QString();
    const qint64 s = std::llround(std::abs(secs));
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(s % 86400 / 3600)
                       .arg(s % 3600 / 60, 2, 10, QLatin1Char('0'))
                       .arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s >= 86400)
        text = tr("%1 T %2").arg(s / 86400).arg(text);
    if (sign)
        text.prepend(secs < 0 && s > 0 ? QStringLiteral("\u2212") : QStringLiteral("+"));
    else if (secs < 0 && s > 0)
        text.prepend(QStringLiteral("\u2212"));
    return text;
}

QString LeaderboardPanel::columnToolTip(int column)
{
    switch (column) {
    case RankColumn:
        return tr("Platz in der Klasse: zuerst die Boote im Ziel nach ihrer Zielzeit, dann nach "
                  "passierten Toren (ein Tor zählt, wenn der Weg zwischen zwei Meldungen seine "
                  "Linie kreuzt) und der Distanz zum Ziel.");
    case NextGateColumn:
        return tr("Das nächste Tor der Bahn; im Ziel die Zeit, zu der das Boot die Ziellinie "
                  "kreuzte.");
    case NextDistanceColumn:
        return tr("Distanz zum nächsten Punkt der Linie des nächsten Tors.");
    case FinishDistanceColumn:
        return tr("Distanz zum nächsten Tor plus die Schenkel von Tormitte zu Tormitte bis ins "
                  "Ziel.");
    case SpeedColumn:
        return tr("Fahrt über Grund zwischen den beiden Meldungen um den gezeigten Moment.");
    case GapColumn:
        return tr("Distanz zum Ziel minus die des Klassenersten (in km und Seemeilen).");
    case LegColumn:
        return tr("Der Schenkel, auf dem das Boot segelt: vom zuletzt passierten Tor zum "
                  "nächsten.");
    case VmcColumn:
        return tr("Velocity made good on course: Fahrt über Grund der letzten Minute (oder "
                  "des letzten Meldeabstands, wenn länger) mal Kosinus des Winkels zwischen Kurs "
                  "und Peilung zum nächsten Tor, in Knoten. Auf einer Kreuz oder einem "
                  "Vorwindkurs im geschätzten Wind nennt der Tooltip der Zelle auch die VMG zum "
                  "Wind.");
    case Average1hColumn:
    case Average4hColumn:
    case Average24hColumn:
        return tr("Durchschnittsfahrt: gesegelte Strecke entlang der Meldungen in der letzten "
                  "Stunde, den letzten 4 oder 24 Stunden Regattazeit, geteilt durch diese Zeit "
                  "(seit dem Start, wenn er kürzer zurückliegt), in Knoten.");
    case EtaColumn:
        return tr("Geschätzte Ankunft im Ziel: Distanz zum Ziel geteilt durch die in der "
                  "letzten Stunde zum Ziel gutgemachte Fahrt (VMC der letzten Stunde).");
    case TimeGapColumn:
        return tr("Abstand zum Klassenersten in Zeit: Abstand in Distanz geteilt durch die "
                  "eigene VMC; ist der Erste schon im Ziel, zählt die Zeit seit seiner Ankunft "
                  "dazu. Im Ziel: Unterschied der Zielzeiten.");
    case FixAgeColumn:
        return tr("Alter der letzten Meldung im gezeigten Moment.");
    case ElapsedColumn:
        return tr("Gesegelte Zeit vom Start der Regatta (ohne bekannte Startzeit: vom "
                  "Kreuzen der Startlinie) bis zum Kreuzen der Ziellinie.");
    case CorrectedColumn:
        return tr("Berechnete Zeit: Time-on-Time: Segelzeit mal Faktor; Time-on-Distance: "
                  "Segelzeit minus Vergütung (s/sm) mal Bahnlänge von Tormitte zu Tormitte. Mit "
                  "≈ für Boote, die noch segeln: vorausberechnet aus der geschätzten "
                  "Ankunft.");
    default:
        return QString();
    }
}

QTreeWidgetItem *LeaderboardPanel::classItem(const QString &klasse)
{
    QTreeWidgetItem *item = m_classItems.value(klasse);
    if (!item) {
        item = new QTreeWidgetItem;
        item->setText(0, klasse);
        QFont bold = item->font(0);
        bold.setBold(true);
        item->setFont(0, bold);
        item->setFlags(Qt::ItemIsEnabled);
        m_classItems.insert(klasse, item);
    }
    return item;
}

void LeaderboardPanel::fillRow(QTreeWidgetItem *item, const LeaderboardRow &row)
{
    const auto knots = [](double kn) {
        return std::isfinite(kn) ? QStringLiteral("%1 kn").arg(kn, 0, 'f', 1) : QString();
    };
    const auto moment = [](double t) {
        return std::isfinite(t) ? QDateTime::fromSecsSinceEpoch(std::llround(t))
                                      .toString(QStringLiteral("dd.MM. hh:mm"))
                                : QString();
    };
    setTextIfChanged(item, RankColumn, row.rank > 0 ? QString::number(row.rank) : QString());
    setTextIfChanged(item, NumberColumn, row.startnr);
    setTextIfChanged(item, NameColumn, row.name);
    QString next = row.nextGateName;
    if (row.finished)
        next = tr("im Ziel %1")
                   .arg(QDateTime::fromSecsSinceEpoch(row.finishTime)
                            .toString(QStringLiteral("dd.MM. hh:mm:ss")));
    setTextIfChanged(item, NextGateColumn, next);
    setTextIfChanged(item, NextDistanceColumn,
                     row.finished ? QString() : distanceText(row.distanceNextKm));
    setTextIfChanged(item, FinishDistanceColumn,
                     row.finished ? QString() : distanceText(row.distanceFinishKm));
    setTextIfChanged(item, SpeedColumn, row.hasPosition ? knots(row.speedKnots) : QString());
    QString gap;
    QString timeGap;
    if (row.courseRank == 1) {
        gap = timeGap = QStringLiteral("\u2013");
    } else {
        if (!row.finished)
            gap = gapText(row.gapKm);
        timeGap = durationText(row.gapSecs, true);
    }
    setTextIfChanged(item, GapColumn, gap);
    setTextIfChanged(item, TimeGapColumn, timeGap);

    QString leg;
    if (row.leg > 0) {
        const QList<CourseGate> &course = m_board.course();
        leg = QStringLiteral("%1: %2 \u2013 %3")
                  .arg(row.leg)
                  .arg(course.at(row.leg - 1).name, course.at(row.leg).name);
    } else if (row.hasPosition && row.nextGate == 0) {
        leg = tr("vor dem Start");
    }
    setTextIfChanged(item, LegColumn, leg);
    setTextIfChanged(item, VmcColumn, knots(row.vmcKnots));
    QString vmcTip;
    if (row.legWind != LeaderboardRow::LegWind::None && std::isfinite(row.vmgKnots))
        vmcTip =
            (row.legWind == LeaderboardRow::LegWind::Upwind ? tr("Kreuz: VMG zum Wind %1 kn")
                                                            : tr("Vorwind: VMG vom Wind weg %1 kn"))
                .arg(row.vmgKnots, 0, 'f', 1);
    if (item->toolTip(VmcColumn) != vmcTip)
        item->setToolTip(VmcColumn, vmcTip);
    setTextIfChanged(item, Average1hColumn, knots(row.averageKnots1h));
    setTextIfChanged(item, Average4hColumn, knots(row.averageKnots4h));
    setTextIfChanged(item, Average24hColumn, knots(row.averageKnots24h));
    setTextIfChanged(item, EtaColumn, row.finished ? QString() : moment(row.etaTime));
    setTextIfChanged(item, FixAgeColumn, row.hasPosition ? ageText(row.fixAgeSecs) : QString());
    setTextIfChanged(item, ElapsedColumn, durationText(row.elapsedSecs));
    QString corrected = durationText(row.correctedSecs);
    if (row.correctedProjected && !corrected.isEmpty())
        corrected.prepend(QStringLiteral("\u2248 "));
    setTextIfChanged(item, CorrectedColumn, corrected);
    const QString ratingTip = Handicap::ratingText(row.rating);
    if (item->toolTip(CorrectedColumn) != ratingTip)
        item->setToolTip(CorrectedColumn, ratingTip);
}

void LeaderboardPanel::fill()
{
    QList<QTreeWidgetItem *> classOrder;
    QHash<QTreeWidgetItem *, QList<QTreeWidgetItem *>> children;
    QHash<int, QTreeWidgetItem *> seen;
    for (const LeaderboardRow &row : std::as_const(m_rows)) {
        QTreeWidgetItem *group = classItem(row.klasse);
        if (classOrder.isEmpty() || classOrder.last() != group)
            classOrder.append(group);
        QTreeWidgetItem *item = m_boatItems.value(row.id);
        if (!item) {
            item = new QTreeWidgetItem;
            item->setData(0, idRole, row.id);
            for (int c = RankColumn; c < ColumnCount; ++c) {
                if (c != NumberColumn && c != NameColumn && c != NextGateColumn && c != LegColumn)
                    item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            }
        }
        seen.insert(row.id, item);
        children[group].append(item);

        fillRow(item, row);
    }

    // Rows of boats no longer listed (hidden, or gone with their race).
    for (auto it = m_boatItems.begin(); it != m_boatItems.end(); ++it) {
        if (!seen.contains(it.key()))
            delete it.value();
    }
    m_boatItems = seen;
    for (auto it = m_classItems.begin(); it != m_classItems.end();) {
        if (!children.contains(it.value())) {
            delete it.value();
            it = m_classItems.erase(it);
        } else {
            ++it;
        }
    }

    // Reorder only what changed, so that selection and scrolling stay put.
    for (QTreeWidgetItem *group : std::as_const(classOrder)) {
        const QList<QTreeWidgetItem *> &wanted = children[group];
        QList<QTreeWidgetItem *> present;
        present.reserve(group->childCount());
        for (int i = 0; i < group->childCount(); ++i)
            present.append(group->child(i));
        if (!sameOrder(present, wanted)) {
            const bool expanded = group->treeWidget() ? group->isExpanded() : true;
            group->takeChildren();
            for (QTreeWidgetItem *item : wanted) {
                if (QTreeWidgetItem *parent = item->parent())
                    parent->removeChild(item);
            }
            group->addChildren(wanted);
            group->setExpanded(expanded);
        }
    }
    QList<QTreeWidgetItem *> top;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        top.append(m_tree->topLevelItem(i));
    if (!sameOrder(top, classOrder)) {
        QHash<QTreeWidgetItem *, bool> expanded;
        for (QTreeWidgetItem *group : std::as_const(classOrder))
            expanded.insert(group, group->treeWidget() ? group->isExpanded() : true);
        while (m_tree->topLevelItemCount() > 0)
            m_tree->takeTopLevelItem(0);
        m_tree->addTopLevelItems(classOrder);
        for (QTreeWidgetItem *group : std::as_const(classOrder)) {
            group->setFirstColumnSpanned(true);
            group->setExpanded(expanded.value(group, true));
        }
    }
    syncFrozenRows();
}
