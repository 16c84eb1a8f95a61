#include "scene/raceseries.h"
#include "scene/track.h"

#include <QtTest>

#include <cmath>
#include <memory>

// Boats sail due north up a beat from a start line at 43°N to a mark 11.1 km
// on, fixes every 10 s; the figures are worked out by hand from their
// courses and speeds.
class TestRaceSeries : public QObject
{
    Q_OBJECT
    static constexpr int t0 = 1000000;
    std::vector<std::unique_ptr<Track>> m_tracks;

    // knots due north from `from`, 1 nm = 1.852 km.
    LeaderboardBoat boat(int id, const QString &klasse, const GeoPoint &from, double knots,
                         int first = t0, int every = 10)
    {
        auto track = std::make_unique<Track>();
        for (int t = first; t <= t0 + 3600; t += every)
            track->addPoint(
                Geo::destinationPoint(from, knots * 1.852 * (t - t0) / 3600.0, 0.0).lat(),
                from.lng(), t, 0.0);
        LeaderboardBoat b;
        b.id = id;
        b.klasse = klasse;
        b.startnr = QString::number(id);
        b.track = track.get();
        m_tracks.push_back(std::move(track));
        return b;
    }

private slots:
    void figuresOverRaceTime()
    {
        RaceSeries::Input in;
        in.course = {{"Start", GeoPoint(43.0, 15.99), GeoPoint(43.0, 16.01), GeoPoint(43.0, 16.0)},
                     {"Luv", GeoPoint(43.1, 15.999), GeoPoint(43.1, 16.001), GeoPoint(43.1, 16.0)}};
        const GeoPoint a0(42.995, 16.0);
        // B 1 nm behind A, its first fix after ten minutes; C leads another
        // class; D sails at 20 kn and finishes after about 18 minutes.
        in.fleet = {boat(1, "X", a0, 6.0),
                    boat(2, "X", Geo::destinationPoint(a0, 1.852, 180.0), 6.0, t0 + 600),
                    boat(3, "Y", GeoPoint(43.05, 16.0), 6.0),
                    boat(4, "Z", GeoPoint(42.999, 16.0), 20.0),
                    boat(5, "Y", GeoPoint(43.0, 16.0), 6.0, t0, 120)};
        in.charted = {1, 2, 4, 5};
        in.windFrom = [](int t) { return std::optional<double>(t < t0 + 2400 ? 45.0 : 90.0); };
        in.from = t0;
        in.to = t0 + 3600;
        in.samples = 61; // a moment a minute
        RaceSeries series;
        series.start(in);
        int slices = 1;
        while (!series.advance(0))
            ++slices;
        QCOMPARE(slices, 61);
        QCOMPARE(series.times().at(10), t0 + 600);

        const auto at = [&](int id, RaceSeries::Figure f, int minute) {
            return series.values(id, f).at(minute);
        };
        const auto near = [](double value, double expected) {
            return std::abs(value - expected) < 0.02;
        };
        for (int minute : {5, 20, 39}) {
            QVERIFY(near(at(1, RaceSeries::Speed, minute), 6.0));
            QVERIFY(near(at(1, RaceSeries::Vmc, minute), 6.0));
            QVERIFY(near(at(1, RaceSeries::GapToLeader, minute), 0.0)); // C is not in its class
            QVERIFY(near(at(2, RaceSeries::GapToLeader, minute + 10), 1.0));
            QVERIFY(near(at(1, RaceSeries::Vmg, minute), 6.0 * std::cos(Geo::pi / 4)));
        }
        QVERIFY(std::isnan(at(1, RaceSeries::Vmg, 1)));   // before the start: no leg
        QVERIFY(std::isnan(at(1, RaceSeries::Vmg, 41)));  // the wind veered: a reach
        QVERIFY(std::isnan(at(2, RaceSeries::Speed, 9))); // no fix yet
        QVERIFY(!std::isnan(at(2, RaceSeries::Speed, 10)));
        QVERIFY(near(at(4, RaceSeries::Vmc, 15), 20.0));
        QVERIFY(std::isnan(at(4, RaceSeries::Vmc, 20)) &&
                std::isnan(at(4, RaceSeries::GapToLeader, 20)));
        QVERIFY(near(at(4, RaceSeries::Speed, 20), 20.0));
        QVERIFY(series.values(3, RaceSeries::Speed).isEmpty()); // not charted
        // Fixes two minutes apart: between them the next one's speed.
        QVERIFY(near(at(5, RaceSeries::Speed, 1), 6.0) && near(at(5, RaceSeries::Speed, 3), 6.0));
    }
};

QTEST_MAIN(TestRaceSeries)
#include "tst_raceseries.moc"
