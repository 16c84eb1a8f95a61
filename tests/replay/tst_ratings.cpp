// Rating files read against a small fleet, and ratings kept in the database.

#include "scene/handicap.h"
#include "store/ratingstore.h"
#include "testdatabase.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using S = Rating::System;

namespace
{
// Two boats share a name; "GER 7" and "Aurora" name boat 1 both ways.
const QList<Handicap::NamedBoat> fleet{{1, u"GER 7"_s, u"Aurora"_s},
                                       {2, u"12"_s, u"Blue"_s},
                                       {3, u"13"_s, u"Blue"_s},
                                       {4, u"14"_s, u"Nordlicht"_s}};
} // namespace

class TestRatings : public QObject
{
    Q_OBJECT

private slots:
    void goodFile()
    {
        const Handicap::RatingFile file = Handicap::parseRatings("Segelnummer;System;Wert\n"
                                                                 "# ORC club ratings\n"
                                                                 "\n"
                                                                 "ger 7;ToT;1,0250\r\n"
                                                                 "12; time-on-distance ; 612.5\n"
                                                                 " NORDLICHT ;tod;-3\n",
                                                                 fleet);
        QCOMPARE(file.errors, QStringList());
        QCOMPARE(file.ratings, (QHash<int, Rating>{{1, {S::TimeOnTime, 1.025}},
                                                   {2, {S::TimeOnDistance, 612.5}},
                                                   {4, {S::TimeOnDistance, -3.0}}}));
    }

    void badLinesNamedAndSkipped()
    {
        const Handicap::RatingFile file = Handicap::parseRatings("Aurora;ToT;1.1\n"
                                                                 "Blue;ToT;1.0\n"
                                                                 "99;ToT;1.0\n"
                                                                 "14;PHRF;1.0\n"
                                                                 "14;ToT;0\n"
                                                                 "14;ToD;1e9\n"
                                                                 "13;ToT\n"
                                                                 "12;ToT;1.05\n",
                                                                 fleet);
        // The first line is no header: its value is a number.
        QCOMPARE(file.ratings,
                 (QHash<int, Rating>{{1, {S::TimeOnTime, 1.1}}, {2, {S::TimeOnTime, 1.05}}}));
        QCOMPARE(file.errors.size(), 6);
        const QStringList expected{u"Zeile 2: „Blue“ passt auf mehrere Boote"_s,
                                   u"Zeile 3: kein Boot mit Segelnummer oder Name „99“"_s,
                                   u"Zeile 4: unbekanntes System „PHRF“ (ToT oder ToD)"_s,
                                   u"Zeile 5: ungültiger Wert „0“"_s,
                                   u"Zeile 6: ungültiger Wert „1e9“"_s,
                                   u"Zeile 7: drei Felder erwartet (Boot; System; Wert), 2 "
                                   "gefunden"_s};
        QCOMPARE(file.errors, expected);
    }

    void correctedTime()
    {
        QCOMPARE(Handicap::corrected({S::TimeOnTime, 0.9}, 7200, 30), 6480.0);
        QCOMPARE(Handicap::corrected({S::TimeOnDistance, 60}, 7200, 30), 5400.0);
        QVERIFY(std::isnan(Handicap::corrected({}, 7200, 30)));
        QVERIFY(std::isnan(Handicap::corrected({S::TimeOnTime, 1.0}, qQNaN(), 30)));
    }

    void storedPerRace()
    {
        TestDatabase db;
        QVERIFY(db.exec({u"create table rating (ship_id int, regatta_id int, system varchar(10), "
                         "value real, primary key (ship_id, regatta_id))"_s,
                         u"insert into rating values (9, 10, 'tot', -1)"_s})); // refused on reading
        QVERIFY(RatingStore::store(10, {{1, {S::TimeOnTime, 1.1}}, {2, {S::TimeOnDistance, 600}}}));
        QVERIFY(RatingStore::store(21, {{1, {S::TimeOnTime, 0.95}}}));
        // A second store replaces one boat's rating and removes another's.
        QVERIFY(RatingStore::store(10, {{1, {S::TimeOnDistance, 580}}, {2, {}}}));
        bool ok = false;
        QCOMPARE(RatingStore::ratings(10, &ok),
                 (QHash<int, Rating>{{1, {S::TimeOnDistance, 580}}}));
        QVERIFY(ok);
        QCOMPARE(RatingStore::ratings(21), (QHash<int, Rating>{{1, {S::TimeOnTime, 0.95}}}));
        // Without the table nothing is stored and nothing half-way.
        QVERIFY(db.exec({u"drop table rating"_s}));
        QString error;
        QVERIFY(!RatingStore::store(10, {{1, {S::TimeOnTime, 1.0}}}, &error) && !error.isEmpty());
        RatingStore::ratings(10, &ok);
        QVERIFY(!ok);
    }
};

QTEST_GUILESS_MAIN(TestRatings)
#include "tst_ratings.moc"
