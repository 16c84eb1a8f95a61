// "Regatta hinzufügen": every kind of bad input is named below the fields and
// stores nothing; good input is stored with its local times.
#include "ui/regattadialog.h"

#include "messagerecorder.h"
#include "platform/seams.h"
#include "testdatabase.h"
#include "trackingschema.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace
{
constexpr qint64 clockNow = 1781949630; // 20 June 2026, 10:00:30 UTC
}

class TestRegattaDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<MessageRecorder> m_boxes;

    static void fill(RegattaDialog &dialog, const QString &name, const QString &event,
                     const QString &task, const QDateTime &start, const QDateTime &end)
    {
        dialog.nameEdit()->setText(name);
        dialog.eventEdit()->setText(event);
        dialog.taskEdit()->setText(task);
        dialog.startEdit()->setDateTime(start);
        dialog.endEdit()->setDateTime(end);
    }

private slots:
    void initTestCase() { Seams::setClock([] { return QDateTime::fromSecsSinceEpoch(clockNow); }); }
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->exec(trackingSchema()));
        m_boxes = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        // Nothing here may ever block on a box.
        QCOMPARE(m_boxes->count(), 0);
        m_boxes.reset();
        m_db.reset();
    }

    // Each rule itself is checked with the store; here the dialog's fields reach it.
    void badInputStoresNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("task");
        QTest::addColumn<int>("endAfterStart"); // minutes
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("blank name") << "   " << "30" << "300" << 60
                                    << QStringList{RaceStore::emptyNameMessage()};
        QTest::newRow("event letters") << "Live" << "abc" << "300" << 60
                                       << QStringList{RaceStore::badEventMessage()};
        QTest::newRow("task fraction") << "Live" << "30" << "3,5" << 60
                                       << QStringList{RaceStore::badTaskMessage()};
        QTest::newRow("end before start") << "Live" << "30" << "300" << -90
                                          << QStringList{RaceStore::endBeforeStartMessage()};
        QTest::newRow("known pair") << "Noch einmal" << "21" << "120" << 60
                                    << QStringList{RaceStore::duplicateMessage(21, 120)};
        QTest::newRow("all at once") << "" << "x" << "0" << -1
                                     << QStringList{RaceStore::emptyNameMessage(),
                                                    RaceStore::badEventMessage(),
                                                    RaceStore::badTaskMessage(),
                                                    RaceStore::endBeforeStartMessage()};
    }
    void badInputStoresNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, event);
        QFETCH(QString, task);
        QFETCH(int, endAfterStart);
        QFETCH(QStringList, messages);
        RegattaDialog dialog;
        const QDateTime start(QDate(2026, 6, 20), QTime(12, 0));
        fill(dialog, name, event, task, start, start.addSecs(endAfterStart * 60));
        QVERIFY(!dialog.submit());
        QCOMPARE(dialog.messageLabel()->text(), messages.join(QLatin1Char('\n')));
        QVERIFY(!dialog.messageLabel()->isHidden());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.addedRace().id, 0);
        QCOMPARE(m_db->count("regatta"), 2);
    }

    void goodInputIsStoredInLocalTime()
    {
        RegattaDialog dialog;
        const QDateTime start(QDate(2026, 6, 20), QTime(10, 30), Qt::LocalTime);
        const QDateTime end(QDate(2026, 6, 21), QTime(18, 0), Qt::LocalTime);
        fill(dialog, QStringLiteral(" Kieler Woche "), QStringLiteral("30"), QStringLiteral(" 300"),
             start, end);
        QVERIFY(dialog.submit());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.addedRace().id, 3);
        QCOMPARE(m_db->scalar("SELECT name||'|'||event_id||'|'||task_id||'|'||von||'|'||bis||'|'||"
                              "showcompletetracks FROM regatta WHERE id=3")
                     .toString(),
                 QStringLiteral("Kieler Woche|30|300|%1|%2|0")
                     .arg(start.toSecsSinceEpoch())
                     .arg(end.toSecsSinceEpoch()));
    }

};

QTEST_MAIN(TestRegattaDialog)
#include "tst_regattadialog.moc"
