#include "sailtrack.h"
#include "ui/graphpanel.h"
#include "uitest.h"

#include <QChartView>
#include <QLineSeries>
#include <QTest>

using namespace Qt::StringLiterals;
constexpr int t0 = 1270458000; // the 2010 race

// Two boats of the 2010 race sail the known course at 3 m/s (5.83 kn); the
// followed one is charted, the other when ticked, and chart and slider
// follow each other.
class TestGraphs : public QObject
{
    Q_OBJECT
    UiTest::Window f;
    MainWindow *w = nullptr;
    GraphPanel *panel() const { return w->graphs(); }

private slots:
    void initTestCase() { UiTest::initCase(); }
    void init()
    {
        QStringList rows;
        for (const int id : {7, 8})
            for (const auto &[t, lat, lng] : SailTrack::fixes(t0, 1, 0.0, 54.4 + (id - 7) * 0.01))
                rows << u"(%4, 10, %1, %2, %3)"_s.arg(t)
                            .arg(lat, 0, 'f', 7)
                            .arg(lng, 0, 'f', 7)
                            .arg(id);
        QVERIFY(f.open({u"INSERT INTO ship (id, regatta_id, name, startnr, farbe, show, follow) "
                        "VALUES (7, 10, 'Kreuzer', 'GER 7', '#ffffff', 'true', 'true'), "
                        "(8, 10, 'Jolle', 'GER 8', '#0000ff', 'true', 'false')"_s,
                        u"INSERT INTO track (ship_id, regatta_id, tstamp, lat, lng) VALUES "_s +
                            rows.join(',')},
                       QSize(900, 600)));
        w = f.window.get();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        f.start();
        w->sidePanel()->setCurrentWidget(panel());
        if (!w->isPanelOpen())
            w->toggleLegende();
        QTRY_VERIFY(!panel()->isComputing() && !panel()->boatLines().isEmpty());
    }
    void cleanup() { f.close(); }

    void chartFollowsTheSliderAndBack()
    {
        // Only the followed boat, at its speed on the straight legs.
        QCOMPARE(panel()->boatLines().first()->name(), u"GER 7 Kreuzer"_s);
        qreal fastest = 0;
        for (const QLineSeries *line : panel()->boatLines()) {
            QCOMPARE(line->name(), u"GER 7 Kreuzer"_s);
            // Boat 7 is white: drawn darker on the white chart.
            QVERIFY(line->pen().color().lightness() <= 180);
            for (const QPointF &p : line->points())
                fastest = std::max(fastest, p.y());
        }
        QVERIFY2(fastest > 5.6 && fastest < 6.0, qPrintable(QString::number(fastest)));

        w->setSliderValue(t0 + 200);
        QCOMPARE(panel()->momentLine()->at(0).x(), (t0 + 200) * 1000.0);

        // A click in the chart shows its moment, to within a pixel.
        QChart *chart = panel()->chartView()->chart();
        const QPointF spot =
            chart->mapToPosition(QPointF((t0 + 300) * 1000.0, 1.0), panel()->momentLine());
        const QPoint click = panel()->chartView()->mapFromScene(chart->mapToScene(spot));
        QTest::mouseClick(panel()->chartView()->viewport(), Qt::LeftButton, {}, click);
        const double secondsPerPixel = 500.0 / chart->plotArea().width();
        QVERIFY2(std::abs(w->timeSlider()->value() - (t0 + 300)) <= secondsPerPixel + 1,
                 qPrintable(QString::number(w->timeSlider()->value() - t0)));

        // Ticked, the other boat joins.
        QListWidgetItem *other = panel()->boatList()->item(1);
        QCOMPARE(other->text(), u"GER 8 Jolle"_s);
        other->setCheckState(Qt::Checked);
        QTRY_VERIFY(!panel()->isComputing());
        const QList<QLineSeries *> lines = panel()->boatLines();
        QVERIFY(std::any_of(lines.begin(), lines.end(),
                            [](const QLineSeries *l) { return l->name() == u"GER 8 Jolle"_s; }));
    }
};

QTEST_MAIN(TestGraphs)
#include "tst_graphs.moc"
