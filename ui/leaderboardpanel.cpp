#include "ui/leaderboardpanel.h"

#include "platform/config.h"
#include "scene/gateitem.h"
#include "scene/ship.h"

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
                             tr("Abstand")});
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

    buildFrozenView();
    // Which scrolling columns the user hid, kept with the window settings.
    const QStringList hidden = std::unique_ptr<QSettings>(Config::windowSettings())
                                   ->value(hiddenColumnsKey)
                                   .toStringList();
    for (const QString &column : hidden) {
        const int c = column.toInt();
        if (c >= frozenColumns && c < ColumnCount)
            m_tree->setColumnHidden(c, true);
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &LeaderboardPanel::showColumnMenu);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
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
        action->setChecked(!m_tree->isColumnHidden(c));
        connect(action, &QAction::toggled, this, [this, c](bool on) { setColumnShown(c, on); });
    }
    menu.exec(m_tree->header()->mapToGlobal(at));
}

void LeaderboardPanel::setColumnShown(int column, bool shown)
{
    if (column < frozenColumns || column >= ColumnCount)
        return; // the frozen columns always stay
    m_tree->setColumnHidden(column, !shown);
    QStringList hidden;
    for (int c = frozenColumns; c < ColumnCount; ++c) {
        if (m_tree->isColumnHidden(c))
            hidden.append(QString::number(c));
    }
    std::unique_ptr<QSettings>(Config::windowSettings())->setValue(hiddenColumnsKey, hidden);
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
    m_rows = m_board.update(Leaderboard::boatsOf(ships), m_pendingTime);
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
            for (int c :
                 {RankColumn, NextDistanceColumn, FinishDistanceColumn, SpeedColumn, GapColumn})
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        seen.insert(row.id, item);
        children[group].append(item);

        setTextIfChanged(item, RankColumn, row.rank > 0 ? QString::number(row.rank) : QString());
        setTextIfChanged(item, NumberColumn, row.startnr);
        setTextIfChanged(item, NameColumn, row.name);
        QString next = row.nextGateName;
        if (row.finished)
            next = tr("im Ziel %1")
                       .arg(QDateTime::fromSecsSinceEpoch(row.finishTime)
                                .toString(QStringLiteral("dd.MM. hh:mm")));
        setTextIfChanged(item, NextGateColumn, next);
        setTextIfChanged(item, NextDistanceColumn,
                         row.finished ? QString() : distanceText(row.distanceNextKm));
        setTextIfChanged(item, FinishDistanceColumn,
                         row.finished ? QString() : distanceText(row.distanceFinishKm));
        setTextIfChanged(item, SpeedColumn,
                         row.hasPosition ? QStringLiteral("%1 kn").arg(row.speedKnots, 0, 'f', 1)
                                         : QString());
        QString gap;
        if (row.rank == 1)
            gap = QStringLiteral("\u2013");
        else if (!row.finished)
            gap = gapText(row.gapKm);
        setTextIfChanged(item, GapColumn, gap);
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
