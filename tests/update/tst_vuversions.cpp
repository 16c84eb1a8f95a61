#include "update/vuignoredversions.h"
#include "update/vuversioncomparator.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

class TestVuVersions : public QObject
{
    Q_OBJECT


private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("t.a.l.v.e.n."));
        QCoreApplication::setApplicationName(QStringLiteral("Velmaro"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.7.2"));
    }

    void init()
    {
        QSettings().remove(QLatin1String(VUIgnoredVersions::settingsKey));
    }

    void compareVersions_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("expected");

        QTest::newRow("numbers not text") << QByteArray("2.7.2") << QByteArray("2.7.10") << -1;
        QTest::newRow("numbers not text, reversed") << QByteArray("2.7.10") << QByteArray("2.7.2") << 1;
        QTest::newRow("extra number part is newer") << QByteArray("2.7") << QByteArray("2.7.1") << -1;
        QTest::newRow("extra letter suffix is older") << QByteArray("2.7") << QByteArray("2.7b") << 1;
        QTest::newRow("letter suffix loses") << QByteArray("2.7b") << QByteArray("2.7") << -1;
        QTest::newRow("letters byte-wise") << QByteArray("1.0a") << QByteArray("1.0b") << -1;
        QTest::newRow("prefix ranks lower") << QByteArray("1.0abc") << QByteArray("1.0a") << 1;
        QTest::newRow("separator against text") << QByteArray("1.0.1") << QByteArray("1.0b") << 1;
        QTest::newRow("text against separator") << QByteArray("1.0b") << QByteArray("1.0.1") << -1;
        QTest::newRow("all separators equal") << QByteArray("1.0") << QByteArray("1-0") << 0;
        QTest::newRow("empty versus empty") << QByteArray() << QByteArray() << 0;
        QTest::newRow("empty versus 1") << QByteArray() << QByteArray("1") << -1;
        QTest::newRow("1 versus empty") << QByteArray("1") << QByteArray() << 1;
        QTest::newRow("trailing blank counts as newer")
            << QByteArray("2.7.2") << QByteArray("2.7.2 ") << -1;
        QTest::newRow("equal") << QByteArray("2.7.2") << QByteArray("2.7.2") << 0;
        QTest::newRow("number beats separator") << QByteArray("2.7") << QByteArray("2..") << 1;
        QTest::newRow("separator loses to number") << QByteArray("2..") << QByteArray("2.7") << -1;
        QTest::newRow("leading zeros") << QByteArray("2.07") << QByteArray("2.7") << 0;
        QTest::newRow("beta then release") << QByteArray("2.8b12") << QByteArray("2.8") << -1;
        QTest::newRow("rc with blank") << QByteArray("3.0 rc2") << QByteArray("3.0 rc10") << -1;
        QTest::newRow("rc before final") << QByteArray("3.0rc2") << QByteArray("3.0") << -1;
        QTest::newRow("high bytes are text") << QByteArray("1.0\xe4") << QByteArray("1.0") << -1;
        QTest::newRow("upper before lower") << QByteArray("1.0B") << QByteArray("1.0a") << -1;
        // Numbers far beyond 32 bits still order by value instead of wrapping.
        QTest::newRow("huge numbers") << QByteArray("1.99999999999999999999")
                                      << QByteArray("1.100000000000000000000") << -1;
        QTest::newRow("major wins") << QByteArray("10.0") << QByteArray("9.99.99") << 1;
        QTest::newRow("tab, tilde, hyphen are separators")
            << QByteArray("1\t0~1-2") << QByteArray("1.0.1.2") << 0;
        QTest::newRow("control byte is text") << QByteArray("1.0\x01") << QByteArray("1.0") << -1;
    }

    void compareVersions()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, expected);
        QCOMPARE(VuVersionComparator::compareVersions(a, b), expected);
        // The ordering is antisymmetric.
        QCOMPARE(VuVersionComparator::compareVersions(b, a), -expected);
    }

    void isIgnored_data()
    {
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("ignored");

        QTest::newRow("running version") << QString() << "2.7.2" << true;
        QTest::newRow("older") << QString() << "2.7.1" << true;
        QTest::newRow("newer") << QString() << "2.8" << false;
        QTest::newRow("newer but skipped") << "2.8"
                                           << "2.8" << true;
        QTest::newRow("newer than the skipped one") << "2.8"
                                                    << "2.8.1" << false;
        QTest::newRow("beta of the running version") << QString() << "2.7.2b" << true;
    }

    void isIgnored()
    {
        QFETCH(QString, skipped);
        QFETCH(QString, offered);
        QFETCH(bool, ignored);
        if (!skipped.isEmpty())
            VUIgnoredVersions::ignore(skipped);
        QCOMPARE(VUIgnoredVersions::isIgnored(offered), ignored);
    }

    // Only the latest skipped version is kept; the running one and "" are refused.
    void ignoreStoresOnlyTheLatest()
    {
        VUIgnoredVersions::ignore(QStringLiteral("2.8"));
        VUIgnoredVersions::ignore(QStringLiteral("2.9"));
        VUIgnoredVersions::ignore(QStringLiteral("2.7.2"));
        VUIgnoredVersions::ignore(QString());
        QCOMPARE(QSettings().value(QLatin1String(VUIgnoredVersions::settingsKey)).toString(),
                 QStringLiteral("2.9"));
        QVERIFY(!VUIgnoredVersions::isIgnored(QStringLiteral("2.8")));
        QVERIFY(VUIgnoredVersions::isIgnored(QStringLiteral("2.9")));
    }

    void meetsMinimumVersion_data()
    {
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<bool>("meets");

        QTest::newRow("lower") << "2.7" << true;
        QTest::newRow("same") << "2.7.2" << true;
        QTest::newRow("higher") << "2.8" << false;
        QTest::newRow("higher patch") << "2.7.10" << false;
        QTest::newRow("beta of the running version") << "2.7.2b" << true;
    }

    void meetsMinimumVersion()
    {
        QFETCH(QString, minimum);
        QFETCH(bool, meets);
        QCOMPARE(VUIgnoredVersions::meetsMinimumVersion(minimum), meets);
    }
};

QTEST_GUILESS_MAIN(TestVuVersions)
#include "tst_vuversions.moc"
