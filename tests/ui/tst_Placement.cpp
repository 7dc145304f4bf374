// Stored window placements that cannot be right are fitted to the screens.

#include "tests/support/TestMain.h"
#include "ui/Placement.h"

class tst_Placement : public QObject
{
    Q_OBJECT

    // Two screens side by side, the second one smaller, panels taken off.
    const QList<QRect> screens{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 984)};
    const QSize defaultSize{400, 233};

private slots:
    void fitsTheScreens_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<int>("state");
        QTest::addColumn<QRect>("fitted");
        QTest::addColumn<int>("fittedState");
        QTest::newRow("sane, kept")
            << QRect(100, 50, 800, 600) << 0 << QRect(100, 50, 800, 600) << 0;
        QTest::newRow("on the second screen, kept")
            << QRect(2000, 10, 1000, 900) << 2 << QRect(2000, 10, 1000, 900) << 2;
        QTest::newRow("a little off the edge, kept")
            << QRect(-5, -5, 800, 600) << 0 << QRect(-5, -5, 800, 600) << 0;
        QTest::newRow("huge: the screen's size")
            << QRect(0, 0, 99999999, 99999999) << 0 << QRect(0, 0, 1920, 1040) << 0;
        QTest::newRow("huge on the second screen: its size")
            << QRect(1920, 0, 99999999, 99999999) << 0 << QRect(1920, 0, 1280, 984) << 0;
        QTest::newRow("far right: moved back onto the nearest screen")
            << QRect(99999999, 99999999, 800, 600) << 1 << QRect(2400, 384, 800, 600) << 1;
        QTest::newRow("far left and up")
            << QRect(-99999999, -99999999, 800, 600) << 0 << QRect(0, 0, 800, 600) << 0;
        QTest::newRow("in the gap below the smaller screen")
            << QRect(2000, 1000, 300, 30) << 0 << QRect(2000, 954, 300, 30) << 0;
        QTest::newRow("negative size: the default")
            << QRect(10, 20, -5, -5) << 0 << QRect(10, 20, 400, 233) << 0;
        QTest::newRow("unknown state: normal")
            << QRect(10, 20, 800, 600) << 7 << QRect(10, 20, 800, 600) << 0;
    }
    void fitsTheScreens()
    {
        QFETCH(QRect, stored);
        QFETCH(int, state);
        QFETCH(QRect, fitted);
        QFETCH(int, fittedState);
        // QRect(x, y, -5, -5) is an empty rectangle of that position.
        const WindowPlacement fit = FitPlacement({stored, state}, screens, defaultSize);
        QCOMPARE(fit.outer, fitted);
        QCOMPARE(fit.state, fittedState);
    }

    void withoutScreensNothingButTheSizeChanges()
    {
        const WindowPlacement fit = FitPlacement({QRect(99999999, 0, 0, 10), 0}, {}, defaultSize);
        QCOMPARE(fit.outer, QRect(99999999, 0, 400, 10));
    }
};

ZEDU_TEST_MAIN(tst_Placement)
#include "tst_Placement.moc"
