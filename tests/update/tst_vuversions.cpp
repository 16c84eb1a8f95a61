#include "update/vuignoredversions.h"
#include "update/vuversioncomparator.h"

#include <QtTest>

// Version ordering and the skipped version, for a running 2.7.2.
class TestVuVersions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("t.a.l.v.e.n.");
        QCoreApplication::setApplicationName("Velmaro");
        QCoreApplication::setApplicationVersion("2.7.2");
    }
    void init() { QSettings().remove(QLatin1String(VUIgnoredVersions::settingsKey)); }

    void compareVersions_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("expected");
        const auto row = [](const char *name, const QByteArray &a, const QByteArray &b, int e) {
            QTest::newRow(name) << a << b << e;
        };
        row("numbers not text", "2.7.2", "2.7.10", -1);
        row("extra number part is newer", "2.7", "2.7.1", -1);
        row("letter suffix is older", "2.7b", "2.7", -1);
        row("letters byte-wise", "1.0a", "1.0b", -1);
        row("prefix ranks lower", "1.0abc", "1.0a", 1);
        row("separator against text", "1.0.1", "1.0b", 1);
        row("all separators equal", "1\t0~1-2", "1.0.1.2", 0);
        row("empty versus empty", "", "", 0);
        row("empty versus 1", "", "1", -1);
        row("trailing blank counts as newer", "2.7.2", "2.7.2 ", -1);
        row("number beats separator", "2.7", "2..", 1);
        row("leading zeros", "2.07", "2.7", 0);
        row("high bytes are text", "1.0\xe4", "1.0", -1);
        // Far beyond 32 bits, still by value instead of wrapping.
        row("huge numbers", "1.99999999999999999999", "1.100000000000000000000", -1);
    }
    void compareVersions()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, expected);
        QCOMPARE(VuVersionComparator::compareVersions(a, b), expected);
        QCOMPARE(VuVersionComparator::compareVersions(b, a), -expected);
    }

    // Skipped versions in the order skipped: only the latest is kept, the
    // running one and "" are refused.
    void offered_data()
    {
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("ignored");      // as an offer
        QTest::addColumn<bool>("meetsMinimum"); // as a minimum previous version
        const auto row = [](const char *name, const char *skipped, const char *version,
                            bool ignored, bool meetsMinimum) {
            QTest::newRow(name) << skipped << version << ignored << meetsMinimum;
        };
        row("running version", "", "2.7.2", true, true);
        row("older", "", "2.7", true, true);
        row("newer", "", "2.8", false, false);
        row("newer but skipped", "2.8", "2.8", true, false);
        row("newer than the skipped one", "2.8", "2.8.1", false, false);
        row("beta of the running version", "", "2.7.2b", true, true);
        row("skipped before the latest", "2.8 2.9 2.7.2 ", "2.8", false, false);
        row("latest skipped", "2.8 2.9 2.7.2 ", "2.9", true, false);
    }
    void offered()
    {
        QFETCH(QString, skipped);
        QFETCH(QString, version);
        for (const QString &each : skipped.split(' '))
            VUIgnoredVersions::ignore(each);
        QTEST(VUIgnoredVersions::isIgnored(version), "ignored");
        QTEST(VUIgnoredVersions::meetsMinimumVersion(version), "meetsMinimum");
    }
};

QTEST_GUILESS_MAIN(TestVuVersions)
#include "tst_vuversions.moc"
