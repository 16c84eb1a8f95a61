#include "ui/manoeuvrepanel.h"

#include "platform/seams.h"
#include "scene/ship.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace
{
constexpr int timeRole = Qt::UserRole;

ManoeuvrePanel::OpenFileChooser &fileChooser()
{
    static ManoeuvrePanel::OpenFileChooser chooser = [](QWidget *parent, const QString &caption) {
        return QFileDialog::getOpenFileName(
            parent, caption, QString(),
            QCoreApplication::translate("ManoeuvrePanel", "Winddaten (*.csv *.txt)"));
    };
    return chooser;
}

QTreeWidget *makeList(const QStringList &headers)
{
    auto *list = new QTreeWidget;
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}
} // namespace

ManoeuvrePanel::ManoeuvrePanel(QWidget *parent)
    : QWidget(parent), m_wind(new QLabel), m_followedTitle(new QLabel),
      m_followed(makeList({tr("Zeit"), tr("Art"), tr("Dauer"), tr("Verlust"), tr("Schenkel")})),
      m_fleet(makeList({tr("Nr."), tr("Boot"), tr("Wenden"), tr("Halsen"), tr("Verlust"),
                        tr("je Schenkel (Wenden/Halsen)")})),
      m_source(new QComboBox), m_direction(new QSpinBox),
      m_fileButton(new QPushButton(tr("Winddatei...")))
{
    m_source->addItems({tr("geschätzt"), tr("fest"), tr("aus Datei")});
    m_source->setToolTip(tr("Woher der Wind kommt: aus den Wenden und Halsen der Flotte geschätzt, "
                            "fest eingegeben oder aus einer Datei (Zeit; Richtung; Knoten)"));
    m_direction->setRange(0, 359);
    m_direction->setSuffix(QStringLiteral("°"));
    m_direction->setWrapping(true);
    m_direction->setEnabled(false);
    connect(m_source, &QComboBox::activated, this, [this] { applySource(); });
    connect(m_direction, &QSpinBox::valueChanged, this, [this] { applySource(); });
    connect(m_fileButton, &QPushButton::clicked, this, [this] {
        const QString path = fileChooser()(this, tr("Winddatei laden"));
        if (!path.isEmpty() && loadWindFile(path))
            m_source->setCurrentIndex(2);
        applySource();
    });
    auto *windRow = new QHBoxLayout;
    windRow->addWidget(new QLabel(tr("Wind:")));
    windRow->addWidget(m_source);
    windRow->addWidget(m_direction);
    windRow->addStretch(1);
    // The file button on a row of its own: the panel is often narrow.
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_fileButton);
    fileRow->addStretch(1);

    setObjectName(QStringLiteral("manoever"));
    m_wind->setTextFormat(Qt::PlainText);
    m_wind->setWordWrap(true);
    m_followedTitle->setTextFormat(Qt::PlainText);
    m_followed->setToolTip(tr("Ein Klick stellt die Zeit auf das Manöver."));
    m_fleet->setToolTip(tr("Verlust: Meter gegenüber der Höhe, die das Boot vor jedem Manöver "
                           "gut machte, über alle Manöver"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(windRow);
    layout->addLayout(fileRow);
    layout->addWidget(m_wind);
    layout->addWidget(m_followedTitle);
    layout->addWidget(m_followed, 1);
    layout->addWidget(new QLabel(tr("Alle Boote")));
    layout->addWidget(m_fleet, 1);
    connect(m_followed, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item, int) {
        if (item)
            emit momentChosen(item->data(0, timeRole).toInt());
    });
}

void ManoeuvrePanel::setOpenFileChooser(OpenFileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

bool ManoeuvrePanel::loadWindFile(const QString &path)
{
    QFile file(path);
    // A wind file of a week at one line a second is some megabytes.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024) {
        Seams::critical(tr("Winddatei"), tr("Die Datei %1 kann nicht gelesen werden.").arg(path),
                        QMessageBox::Ok);
        return false;
    }
    const WindFile wind = RaceAnalysis::parseWindFile(file.readAll());
    if (!wind.errors.isEmpty() || wind.samples.isEmpty()) {
        QStringList errors = wind.errors.mid(0, 10);
        if (wind.errors.size() > 10)
            errors << tr("... und %1 weitere").arg(wind.errors.size() - 10);
        if (errors.isEmpty())
            errors << tr("keine Zeile mit Winddaten");
        Seams::critical(
            tr("Winddatei"),
            tr("Die Winddatei %1 wurde nicht übernommen:\n%2").arg(path, errors.join('\n')),
            QMessageBox::Ok);
        return false;
    }
    m_samples = wind.samples;
    return true;
}

void ManoeuvrePanel::applySource()
{
    const int source = m_source->currentIndex();
    m_direction->setEnabled(source == 1);
    if (source == 2 && m_samples.isEmpty()) {
        m_source->setCurrentIndex(0); // no file read yet
        applySource();
        return;
    }
    emit fixedWindChosen(source == 1 ? std::optional<double>(m_direction->value()) : std::nullopt);
    emit windSamplesChosen(source == 2 ? m_samples : QVector<WindSample>());
}

QString ManoeuvrePanel::kindText(Sailing::ManoeuvreKind kind)
{
    return kind == Sailing::ManoeuvreKind::Tack ? tr("Wende") : tr("Halse");
}

QString ManoeuvrePanel::windText(const RaceAnalysis::Wind &wind)
{
    if (!wind.valid)
        return tr("Wind: unbekannt (zu wenige Wenden und Halsen)");
    QString text = tr("Wind aus %1° (%2)")
                       .arg(std::lround(wind.from) % 360)
                       .arg(RaceAnalysis::sourceText(wind.source));
    if (wind.source == RaceAnalysis::WindSource::Estimated)
        text += tr(", aus %1 Manövern von %2 Booten").arg(wind.turns).arg(wind.boats);
    return text;
}

void ManoeuvrePanel::show(const RaceAnalysis &analysis, const QList<Ship *> &ships,
                          const Ship *followed, int t, const LegOf &legOf)
{
    const auto leg = [&](int id, int at) { return legOf ? legOf(id, at) : 0; };
    m_wind->setText(windText(analysis.windAt(t)));
    const QVector<Sailing::Manoeuvre> none;
    const QVector<Sailing::Manoeuvre> &own = followed ? analysis.manoeuvres(followed->id()) : none;
    // The lists change with the fixes and the wind, not with the moment.
    if (followed == m_shownFor && analysis.generation() == m_shownGeneration)
        return;
    {
        m_shownFor = followed;
        m_shownGeneration = analysis.generation();
        m_followedTitle->setText(
            followed ? tr("Manöver von %1 %2").arg(followed->startnr(), followed->name())
                     : tr("Kein Boot verfolgt"));
        m_followed->clear();
        for (const Sailing::Manoeuvre &m : own) {
            auto *item = new QTreeWidgetItem(
                {QDateTime::fromSecsSinceEpoch(m.t).toString(QStringLiteral("dd.MM. hh:mm:ss")),
                 kindText(m.kind), tr("%1 s").arg(m.durationSecs),
                 tr("%1 m").arg(m.metresLost, 0, 'f', 0),
                 leg(followed->id(), m.t) > 0 ? QString::number(leg(followed->id(), m.t))
                                              : tr("vor dem Start")});
            item->setData(0, timeRole, m.t);
            m_followed->addTopLevelItem(item);
        }
    }
    m_fleet->clear();
    for (const Ship *ship : ships) {
        int tacks = 0, gybes = 0;
        double lost = 0.0;
        QMap<int, std::pair<int, int>> perLeg; // leg -> tacks, gybes
        for (const Sailing::Manoeuvre &m : analysis.manoeuvres(ship->id())) {
            const bool tack = m.kind == Sailing::ManoeuvreKind::Tack;
            (tack ? tacks : gybes) += 1;
            (tack ? perLeg[leg(ship->id(), m.t)].first : perLeg[leg(ship->id(), m.t)].second) += 1;
            lost += m.metresLost;
        }
        QStringList legs;
        for (auto it = perLeg.cbegin(); it != perLeg.cend(); ++it)
            legs << tr("%1: %2/%3").arg(it.key()).arg(it->first).arg(it->second);
        m_fleet->addTopLevelItem(new QTreeWidgetItem(
            {ship->startnr(), ship->name(), QString::number(tacks), QString::number(gybes),
             tr("%1 m").arg(lost, 0, 'f', 0), legs.join(QStringLiteral("  "))}));
    }
}
