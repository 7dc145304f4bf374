// Where a window that works beside the main window opens.

#include "tests/support/TestMain.h"
#include "ui/CompanionPlacement.h"

class tst_CompanionPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placeBeside_data()
    {
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QRect>("avoid"); // the entry box
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("placed");
        const QList<QRect> one{QRect(0, 0, 1920, 1080)};
        const QSize size(400, 300);
        QTest::newRow("to the right") << one << QRect(100, 100, 600, 400)
                                      << QRect(110, 300, 580, 190) << size
                                      << QRect(700, 100, 400, 300);
        QTest::newRow("to the left at the screen's edge")
            << one << QRect(1300, 100, 600, 400) << QRect(1310, 300, 580, 190) << size
            << QRect(900, 100, 400, 300);
        QTest::newRow("moved up along the side near the bottom")
            << one << QRect(100, 900, 600, 150) << QRect(110, 1000, 580, 40) << size
            << QRect(700, 780, 400, 300);
        QTest::newRow("below a wide window")
            << one << QRect(0, 100, 1900, 400) << QRect(10, 300, 1880, 190) << size
            << QRect(0, 500, 400, 300);
        QTest::newRow("above a wide window low on the screen")
            << one << QRect(0, 700, 1900, 380) << QRect(10, 900, 1880, 170) << size
            << QRect(0, 400, 400, 300);
        QTest::newRow("over a full-screen window, above its entry box")
            << one << QRect(0, 0, 1920, 1080) << QRect(0, 700, 1920, 380) << size
            << QRect(0, 0, 400, 300);
        QTest::newRow("the strip that takes the most of it, made smaller")
            << one << QRect(0, 0, 1920, 1080) << QRect(960, 540, 960, 540) << QSize(800, 700)
            << QRect(0, 0, 800, 700);
        QTest::newRow("only a narrow strip left")
            << one << QRect(0, 0, 1920, 1080) << QRect(0, 100, 1920, 980) << size
            << QRect(0, 0, 400, 100);
        QTest::newRow("on the main window's screen")
            << QList<QRect>{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)}
            << QRect(2000, 100, 600, 400) << QRect(2010, 300, 580, 190) << size
            << QRect(2600, 100, 400, 300);
        QTest::newRow("no screens known") << QList<QRect>() << QRect(100, 100, 600, 400)
                                          << QRect(110, 300, 580, 190) << size
                                          << QRect(700, 100, 400, 300);
    }

    void placeBeside()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, owner);
        QFETCH(QRect, avoid);
        QFETCH(QSize, size);
        QFETCH(QRect, placed);
        const QRect r = PlaceBeside(owner, avoid, size, screens);
        QCOMPARE(r, placed);
        if (!screens.isEmpty())
            QVERIFY(!r.intersects(avoid));
    }
};

ZEDU_TEST_MAIN(tst_CompanionPlacement)
#include "tst_CompanionPlacement.moc"
