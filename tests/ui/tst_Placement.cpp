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
        QTest::newRow("sane, on the second screen")
            << QRect(2000, 10, 1000, 900) << 2 << QRect(2000, 10, 1000, 900) << 2;
        QTest::newRow("a little off the edge")
            << QRect(-5, -5, 800, 600) << 0 << QRect(-5, -5, 800, 600) << 0;
        QTest::newRow("huge: the size of its screen")
            << QRect(1920, 0, 99999999, 99999999) << 0 << QRect(1920, 0, 1280, 984) << 0;
        QTest::newRow("far off: onto the nearest screen")
            << QRect(99999999, 99999999, 800, 600) << 1 << QRect(2400, 384, 800, 600) << 1;
        QTest::newRow("far up and left")
            << QRect(-99999999, -99999999, 800, 600) << 0 << QRect(0, 0, 800, 600) << 0;
        QTest::newRow("negative size, unknown state: the defaults")
            << QRect(10, 20, -5, -5) << 7 << QRect(10, 20, 400, 233) << 0;
    }
    void fitsTheScreens()
    {
        QFETCH(QRect, stored);
        QFETCH(int, state);
        QFETCH(QRect, fitted);
        QFETCH(int, fittedState);
        const WindowPlacement fit = FitPlacement({stored, state}, screens, defaultSize);
        QCOMPARE(fit.outer, fitted);
        QCOMPARE(fit.state, fittedState);
    }
};

ZEDU_TEST_MAIN(tst_Placement)
#include "tst_Placement.moc"
