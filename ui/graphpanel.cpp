#include "ui/graphpanel.h"

#include "scene/gateitem.h"
#include "scene/ship.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <climits>
#include <cmath>

namespace
{
constexpr int idRole = Qt::UserRole;
} // namespace

GraphPanel::GraphPanel(QWidget *parent) : QWidget(parent)
{
    m_figure = new QComboBox;
    m_figure->addItems({tr("Geschwindigkeit (kn)"), tr("VMC zur nächsten Marke (kn)"),
                        tr("Abstand zum Klassenersten (sm)"), tr("VMG zum Wind (kn)")});
    m_figure->setToolTip(tr("VMC: Geschwindigkeit in Richtung der nächsten Marke. VMG: "
                            "Geschwindigkeit gegen den Wind auf Kreuzkursen, mit ihm auf "
                            "Vorwindkursen, nach dem geschätzten oder eingegebenen Wind."));
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_timeAxis = new QDateTimeAxis;
    m_valueAxis = new QValueAxis;
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_moment = new QLineSeries;
    m_moment->setPen(QPen(QColor(90, 90, 90), 1.0, Qt::DashLine));
    m_chart->addSeries(m_moment);
    m_moment->attachAxis(m_timeAxis);
    m_moment->attachAxis(m_valueAxis);
    m_chart->legend()->markers(m_moment).first()->setVisible(false);
    m_view = new QChartView(m_chart);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setObjectName(QStringLiteral("diagramm"));
    m_view->viewport()->installEventFilter(this);
    m_boats = new QListWidget;
    m_boats->setObjectName(QStringLiteral("diagrammBoote"));
    m_boats->setMaximumHeight(140);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_figure);
    layout->addWidget(m_view, 1);
    auto *hint = new QLabel(tr("Zum Vergleich (das verfolgte Boot ist immer dabei):"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    layout->addWidget(m_boats);

    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    connect(m_delay, &QTimer::timeout, this, &GraphPanel::flush);
    m_slices = new QTimer(this);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &GraphPanel::computeSlice);
    connect(m_figure, &QComboBox::currentIndexChanged, this, &GraphPanel::draw);
    connect(m_boats, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int id = item->data(idRole).toInt();
        if (item->checkState() == Qt::Checked)
            m_ticked.insert(id);
        else
            m_ticked.remove(id);
        m_pending = true;
        flush();
    });
    draw();
}

GraphPanel::~GraphPanel() = default;

bool GraphPanel::isComputing() const
{
    return m_slices->isActive();
}

void GraphPanel::setCourse(const QList<GateItem *> &gates)
{
    m_course = Leaderboard::gatesOf(gates);
    m_ticked.clear();
    forgetShips();
}

void GraphPanel::forgetShips()
{
    // The series read the tracks of the boats about to go.
    m_slices->stop();
    m_series.clear();
    m_signature.clear();
    m_listedIds.clear();
    m_boats->clear();
    m_pending = true;
    draw();
}

void GraphPanel::showMoment(int t, bool animating)
{
    m_pendingTime = t;
    m_pending = true;
    if (!isVisible())
        return; // caught up in showEvent
    const qint64 age = m_sinceUpdate.isValid() ? m_sinceUpdate.elapsed() : updateIntervalMs;
    if (!animating || age >= updateIntervalMs)
        updateNow();
    else if (!m_delay->isActive())
        m_delay->start(int(updateIntervalMs - age));
}

void GraphPanel::flush()
{
    if (m_pending && isVisible())
        updateNow();
}

void GraphPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    flush();
}

void GraphPanel::fillBoatList(const QList<Ship *> &ships)
{
    QList<int> ids;
    for (const Ship *ship : ships)
        if (ship->isShown() && ship->rawTrack() && ship->rawTrack()->count() > 0)
            ids.append(ship->id());
    if (ids == m_listedIds)
        return;
    m_listedIds = ids;
    const QSignalBlocker quiet(m_boats);
    m_boats->clear();
    for (const Ship *ship : ships) {
        if (!ids.contains(ship->id()))
            continue;
        auto *item = new QListWidgetItem(
            QStringLiteral("%1 %2").arg(ship->startnr(), ship->name()).trimmed(), m_boats);
        item->setData(idRole, ship->id());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_ticked.contains(ship->id()) ? Qt::Checked : Qt::Unchecked);
    }
}

void GraphPanel::updateNow()
{
    m_delay->stop();
    m_pending = false;
    m_shownTime = m_pendingTime;
    const QList<Ship *> ships = m_source ? m_source() : QList<Ship *>();
    fillBoatList(ships);

    QList<int> charted;
    int from = INT_MAX, to = 0;
    qint64 fixes = 0;
    for (const Ship *ship : ships) {
        const Track *raw = ship->rawTrack();
        if (!ship->isShown() || !raw || raw->count() == 0)
            continue;
        from = std::min(from, raw->first()->tstamp);
        to = std::max(to, raw->newestTime());
        fixes += raw->count();
        if (ship->follow())
            charted.prepend(ship->id());
        else if (m_ticked.contains(ship->id()))
            charted.append(ship->id());
    }
    QList<qint64> signature(charted.begin(), charted.end());
    signature << -1 << fixes << ships.size() << m_course.size() << from << to
              << (m_windGeneration ? m_windGeneration() : 0);
    if (signature != m_signature) {
        m_signature = signature;
        m_charted = charted;
        m_colours.clear();
        m_names.clear();
        QHash<int, const Ship *> byId;
        for (const Ship *ship : ships)
            byId.insert(ship->id(), ship);
        // Boats of one colour (a class often shares one) must still be told
        // apart; the followed boat keeps its own.
        static const QColor spare[] = {Qt::darkBlue,    Qt::darkGreen, Qt::darkRed,
                                       Qt::darkMagenta, Qt::darkCyan,  QColor(230, 120, 0)};
        for (const int id : std::as_const(charted)) {
            const Ship *ship = byId.value(id);
            QColor c = ship->originalColour().isValid() ? ship->originalColour() : ship->colour();
            // A white or yellow boat would vanish on the chart's white ground.
            if (c.lightness() > 180)
                c = c.darker(100 + (c.lightness() - 120));
            for (int i = 0; i < 6 && m_colours.values().contains(c); ++i)
                c = spare[(m_colours.size() + i) % 6];
            m_colours.insert(id, c);
            m_names.insert(id,
                           QStringLiteral("%1 %2").arg(ship->startnr(), ship->name()).trimmed());
        }
        RaceSeries::Input input;
        input.fleet = Leaderboard::boatsOf(ships);
        input.charted = charted;
        input.course = m_course;
        input.windFrom = m_wind;
        input.from = from;
        input.to = to;
        m_series.start(input);
        if (m_series.isDone())
            draw();
        else
            m_slices->start();
    }
    placeMomentLine();
    m_sinceUpdate.start();
}

void GraphPanel::computeSlice()
{
    if (m_series.advance(sliceMs)) {
        m_slices->stop();
        draw();
    }
}

void GraphPanel::draw()
{
    for (QLineSeries *line : std::as_const(m_lines)) {
        m_chart->removeSeries(line);
        delete line;
    }
    m_lines.clear();
    const auto figure = RaceSeries::Figure(std::max(0, m_figure->currentIndex()));
    const QVector<int> &times = m_series.times();
    double low = 0.0, high = 0.0;
    bool any = false;
    for (const int id : std::as_const(m_charted)) {
        const QVector<double> values = m_series.values(id, figure);
        QPen pen(m_colours.value(id, Qt::darkBlue), id == m_charted.first() ? 2.5 : 1.5);
        QList<QPointF> run;
        bool named = false;
        // A boat's line breaks where it has no value, rather than bridging a reach.
        const auto close = [&] {
            if (run.isEmpty())
                return;
            auto *line = new QLineSeries;
            line->setName(m_names.value(id));
            line->setPen(pen);
            line->append(run);
            m_chart->addSeries(line);
            line->attachAxis(m_timeAxis);
            line->attachAxis(m_valueAxis);
            m_chart->legend()->markers(line).first()->setVisible(!named);
            named = true;
            m_lines.append(line);
            run.clear();
        };
        for (int k = 0; k < values.size() && k < times.size(); ++k) {
            const double v = values.at(k);
            if (!std::isfinite(v)) {
                close();
                continue;
            }
            low = any ? std::min(low, v) : std::min(0.0, v);
            high = any ? std::max(high, v) : v;
            any = true;
            run.append(QPointF(qreal(times.at(k)) * 1000.0, v));
        }
        close();
    }
    if (!times.isEmpty()) {
        m_timeAxis->setRange(QDateTime::fromSecsSinceEpoch(times.first()),
                             QDateTime::fromSecsSinceEpoch(times.last()));
        m_timeAxis->setFormat(times.last() - times.first() > 86400 ? QStringLiteral("dd.MM. hh:mm")
                                                                   : QStringLiteral("hh:mm"));
    }
    const double margin = std::max(0.1, (high - low) * 0.05);
    m_valueAxis->setRange(low - (low < 0 ? margin : 0.0), high + margin);
    m_chart->setTitle(m_charted.isEmpty() ? tr("Ein Boot verfolgen oder unten ankreuzen")
                                          : QString());
    placeMomentLine();
}

void GraphPanel::placeMomentLine()
{
    const qreal x = qreal(m_shownTime) * 1000.0;
    m_moment->replace({QPointF(x, m_valueAxis->min()), QPointF(x, m_valueAxis->max())});
}

bool GraphPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPointF at = m_chart->mapFromScene(m_view->mapToScene(mouse->pos()));
        if (mouse->button() == Qt::LeftButton && m_chart->plotArea().contains(at) &&
            !m_series.times().isEmpty()) {
            const QPointF value = m_chart->mapToValue(at, m_moment);
            emit momentChosen(int(std::llround(value.x() / 1000.0)));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
