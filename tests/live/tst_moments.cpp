#include "store/database.h"
#include "store/moment.h"

#include "messagerecorder.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestMoments : public QObject
{
    Q_OBJECT

private slots:
    void linkRoundTrip()
    {
        const Moment m{0,         21,    120, u"Luv & Lee = 1. Runde ü"_s, 1302948000, 1005,
                       43.512345, -15.5, 11};
        const QString link = MomentLink::toLink(m);
        QVERIFY2(link.startsWith(u"velmaro://race/21/120?time=2011-04-16T10:00:00Z&boat=1005"_s),
                 qPrintable(link));
        const MomentLink::Parsed parsed = MomentLink::parse(link);
        QVERIFY2(parsed.ok, qPrintable(parsed.error));
        QCOMPARE(parsed.moment, m);
        // Without a boat or a name, with Unix seconds; the scheme in any case.
        const MomentLink::Parsed plain =
            MomentLink::parse(u"VELMARO://race/10/88?time=1270460000&centre=54,10&zoom=0"_s);
        QVERIFY2(plain.ok, qPrintable(plain.error));
        QCOMPARE(plain.moment.shipId, 0);
        QCOMPARE(plain.moment.time, 1270460000);
        QVERIFY(MomentLink::looksLikeLink(u"velmaro:x"_s) && !MomentLink::looksLikeLink(u"-v"_s));
    }

    void badLinksNamed_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("reason");
        const QString ok = u"time=2011-04-16T10:00:00Z&centre=43.5,15.9&zoom=11"_s;
        QTest::newRow("other scheme") << u"https://race/21/120?"_s + ok << "kein velmaro:-Link";
        QTest::newRow("no race") << u"velmaro://race/21?"_s + ok << "keine Regatta";
        QTest::newRow("race not a number") << u"velmaro://race/21/x?"_s + ok << "keine Regatta";
        QTest::newRow("other host") << u"velmaro://boat/21/120?"_s + ok << "keine Regatta";
        QTest::newRow("no time") << u"velmaro://race/21/120?centre=43.5,15.9&zoom=11"_s
                                 << "keine gültige Zeit";
        QTest::newRow("local time")
            << u"velmaro://race/21/120?time=2011-04-16T10:00:00&centre=43.5,15.9&zoom=11"_s
            << "keine gültige Zeit";
        QTest::newRow("bad boat") << u"velmaro://race/21/120?boat=-3&"_s + ok
                                  << "kein gültiges Boot";
        QTest::newRow("latitude 91")
            << u"velmaro://race/21/120?time=1302948000&centre=91,15.9&zoom=11"_s
            << "Kartenmittelpunkt";
        QTest::newRow("centre nan")
            << u"velmaro://race/21/120?time=1302948000&centre=nan,1&zoom=11"_s
            << "Kartenmittelpunkt";
        QTest::newRow("zoom 23") << u"velmaro://race/21/120?time=1302948000&centre=1,1&zoom=23"_s
                                 << "Zoomstufe";
        QTest::newRow("no zoom") << u"velmaro://race/21/120?time=1302948000&centre=1,1"_s
                                 << "Zoomstufe";
    }
    void badLinksNamed()
    {
        QFETCH(QString, link);
        QFETCH(QString, reason);
        const MomentLink::Parsed parsed = MomentLink::parse(link);
        QVERIFY(!parsed.ok);
        QVERIFY2(parsed.error.contains(reason), qPrintable(parsed.error));
    }

    void storedPerRace()
    {
        QTemporaryDir dir;
        MessageRecorder boxes;
        QVERIFY(Database::open(dir.filePath(u"velmaro.db"_s)).ok);
        QCOMPARE(Database::ensureSchema(false), Database::SchemaResult::Created);
        Moment a{0, 21, 120, u"Start"_s, 1302948000, 1005, 43.5, 15.9, 11};
        Moment b{0, 21, 120, u"Ziel"_s, 1303000000, 0, 43.6, 15.8, 9};
        Moment other{0, 10, 88, u"anders"_s, 1270460000, 0, 54, 10, 8};
        QVERIFY(MomentStore::add(&a) && MomentStore::add(&b) && MomentStore::add(&other));
        QVERIFY(a.id > 0 && b.id > a.id);
        QCOMPARE(MomentStore::moments(21, 120), QVector<Moment>({a, b}));
        QVERIFY(MomentStore::remove(a.id));
        QCOMPARE(MomentStore::moments(21, 120), QVector<Moment>({b}));
        QCOMPARE(MomentStore::moments(10, 88).size(), 1);
        Database::close();
    }
};

QTEST_MAIN(TestMoments)
#include "tst_moments.moc"
