#include "uitest.h"

#include <QtTest>
#include <QtWidgets>

// Set before QTEST_MAIN's QApplication reads it.
[[maybe_unused]] static const bool scaled = qputenv("QT_SCALE_FACTOR", "2");

class TestCaptureHiDpi : public QObject
{
    Q_OBJECT
private slots:
    // A frame has the map view's size in logical pixels, as on any other screen.
    void frameSizeIsIndependentOfScreenScale()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        UiTest::Window f;
        QVERIFY(f.open({}, QSize(800, 600)));
        MainWindow &window = *f.window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.karte()->grab().devicePixelRatio(), 2.0);
        window.setSliderRange(1000, 2000);
        window.captureOnOff();
        window.setSliderValue(1500);
        QImageReader reader(MainWindow::frameFileName(1500));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), window.karte()->size());
        QDir(MainWindow::movieFolder()).removeRecursively();
    }
};

QTEST_MAIN(TestCaptureHiDpi)
#include "tst_capture_hidpi.moc"
