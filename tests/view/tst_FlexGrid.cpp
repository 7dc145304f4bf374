#include "platform/Twips.h"
#include "tests/support/TestMain.h"
#include "view/FlexGrid.h"

#include <QSignalSpy>

class tst_FlexGrid : public QObject
{
    Q_OBJECT

    std::unique_ptr<FlexGrid> grid;

private slots:
    void init()
    {
        grid = std::make_unique<FlexGrid>();
        grid->setRows(7);
        grid->setCols(7);
        grid->setFixedRows(1);
        grid->setFixedCols(0);
        grid->resize(400, 300);
    }

    void rowsLoweredLoseTextsAndColours()
    {
        grid->setTextMatrix(3, 2, QStringLiteral("15"));
        grid->setCellForeColorAt(3, 2, 255);
        grid->setTextMatrix(0, 1, QStringLiteral("月"));
        grid->setRows(1);
        grid->setRows(7);
        QCOMPARE(grid->TextMatrix(3, 2), QString());
        QCOMPARE(grid->CellForeColorAt(3, 2), -1);
        QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("月"));
        QCOMPARE(FlexGrid::ColourFromWindows(255), QColor(255, 0, 0));
        QCOMPARE(FlexGrid::ColourFromWindows(16711680), QColor(0, 0, 255));
    }

    void currentCellChangesAreReported()
    {
        QSignalSpy spy(grid.get(), &FlexGrid::RowColChange);
        grid->setRow(2);
        grid->setCol(3);
        QCOMPARE(spy.size(), 2);
        grid->setCol(3);
        QCOMPARE(spy.size(), 2);
        grid->setTextMatrix(4, 5, QStringLiteral("x"));
        QCOMPARE(grid->Row(), 2);
        QCOMPARE(grid->Text(), QString());

        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        const QRect cell = grid->visualRect(grid->model()->index(4, 5));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(spy.size(), 3);
        QCOMPARE(grid->Row(), 4);
        QCOMPARE(grid->Col(), 5);
        QCOMPARE(grid->Text(), QStringLiteral("x"));

        // The header row is not a cell one can click into.
        const QRect header = grid->visualRect(grid->model()->index(0, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, header.center());
        QCOMPARE(grid->Row(), 4);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QTest::keyClick(grid.get(), Qt::Key_Up);
        QCOMPARE(grid->Row(), 1);
    }

    void mouseEventsInTwips()
    {
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QSignalSpy down(grid.get(), &FlexGrid::MouseDown);
        QSignalSpy dbl(grid.get(), &FlexGrid::DblClick);
        const QRect cell = grid->visualRect(grid->model()->index(2, 2));
        QTest::mousePress(grid->viewport(), Qt::RightButton, Qt::ShiftModifier, cell.center());
        QCOMPARE(down.size(), 1);
        QCOMPARE(down[0][0].toInt(), 2);
        QCOMPARE(down[0][1].toInt(), 1);
        const QPoint at = grid->viewport()->mapTo(grid.get(), cell.center());
        QCOMPARE(down[0][2].toDouble(), PixelsToTwipsX(at.x()));
        QCOMPARE(down[0][3].toDouble(), PixelsToTwipsY(at.y()));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(dbl.size(), 1);
    }

    void redrawIsReadable()
    {
        grid->setRedraw(false);
        QVERIFY(!grid->Redraw());
        QVERIFY(!grid->updatesEnabled());
        grid->setRedraw(true);
        QVERIFY(grid->Redraw());
    }

    void clipJoinsCellsWithTabAndRowsWithCr()
    {
        for (int r = 1; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                grid->setTextMatrix(r, c, QStringLiteral("%1%2").arg(r).arg(c));
        grid->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 2), true);
        QCOMPARE(grid->Clip(), QStringLiteral("10\t11\t12\r20\t21\t22"));
    }

    void sizesInTwips()
    {
        grid->setColWidth(2, 390);
        QCOMPARE(grid->columnWidth(2), TwipsToPixelsX(390));
        grid->setRowHeight(3, 600);
        QCOMPARE(grid->rowHeight(3), TwipsToPixelsY(600));
        grid->setColAlignment(1, 1);
        grid->setTextMatrix(2, 1, QStringLiteral("a"));
        QCOMPARE(Qt::Alignment(grid->item(2, 1)->textAlignment()),
                 Qt::AlignLeft | Qt::AlignVCenter);
        grid->setColAlignment(1, 5);
        QCOMPARE(Qt::Alignment(grid->item(2, 1)->textAlignment()),
                 Qt::AlignHCenter | Qt::AlignBottom);
    }
};

ZEDU_TEST_MAIN(tst_FlexGrid)
#include "tst_FlexGrid.moc"
