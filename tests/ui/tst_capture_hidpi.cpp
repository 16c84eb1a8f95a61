// Frames on a screen scaled by 2 have the map view's size in logical pixels,
// the same as on any other screen.

#include "uitest.h"

#include <QtTest>
#include <QtWidgets>

class TestCaptureHiDpi : public QObject
{
    Q_OBJECT
private slots:
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

int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestCaptureHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_capture_hidpi.moc"
