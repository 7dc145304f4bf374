#include "platform/Twips.h"
#include "tests/support/TestMain.h"
#include "view/FlexGrid.h"
#include "view/ReadableColour.h"

#include <QHeaderView>
#include <QSignalSpy>

#include <tuple>

class tst_FlexGrid : public QObject
{
    Q_OBJECT

    std::unique_ptr<FlexGrid> grid;

    void click(int row, int col, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), button, modifiers, grid->cellRect(row, col).center());
    }

    // Fills the day rows with "rc" texts.
    void fillCells()
    {
        for (int r = 1; r < grid->Rows(); ++r)
            for (int c = 0; c < grid->Cols(); ++c)
                grid->setTextMatrix(r, c, QStringLiteral("%1%2").arg(r).arg(c));
    }

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
        grid->setCellForeColorAt(0, 6, 16711680);
        grid->setRows(1);
        grid->setRows(7);
        QCOMPARE(grid->TextMatrix(3, 2), QString());
        QCOMPARE(grid->CellForeColorAt(3, 2), -1);
        // The header row is kept, and shown as the table's header.
        QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("月"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("月"));
        QCOMPARE(grid->model()->headerData(6, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>(),
                 QBrush(QColor(0, 0, 255)));
        QCOMPARE(FlexGrid::ColourFromWindows(255), QColor(255, 0, 0));
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
        // A click moves row and column at once: one change, never a cell
        // between the old and the new one.
        click(4, 5);
        QCOMPARE(spy.size(), 3);
        QCOMPARE(grid->Row(), 4);
        QCOMPARE(grid->Col(), 5);
        QCOMPARE(grid->Text(), QStringLiteral("x"));

        // The header row is not a cell one can click into.
        QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid->cellRect(0, 1).center());
        QCOMPARE(grid->Row(), 4);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(grid.get(), Qt::Key_Up);
        QCOMPARE(grid->Row(), 1);
        QCOMPARE(spy.size(), 6);
        QTest::keyClick(grid.get(), Qt::Key_Right);
        QCOMPARE(grid->Col(), 6);
        QCOMPARE(spy.size(), 7);
    }

    void otherInputMovesNothing()
    {
        fillCells();
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        grid->setRow(3);
        grid->setCol(3);
        QSignalSpy spy(grid.get(), &FlexGrid::RowColChange);
        QSignalSpy down(grid.get(), &FlexGrid::MouseDown);
        // The right button is reported, but the current cell stays.
        click(5, 1, Qt::RightButton);
        QCOMPARE(down.size(), 1);
        QCOMPARE(down[0][0].toInt(), 2);
        // Typing digits does not search for a day.
        QTest::keyClicks(grid.get(), QStringLiteral("52"));
        QTest::keyClick(grid.get(), Qt::Key_Space);
        QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
        // Below the last row the grid has no cells.
        grid->setRows(3);
        grid->setRow(2);
        spy.clear();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, grid->viewport()->height() - 3));
        QCOMPARE(spy.size(), 0);
        QCOMPARE(grid->Row(), 2);
        QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 1);
        QCOMPARE(grid->Clip(), QStringLiteral("23"));
    }

    void dragSelectsABlockFromTheCurrentCell()
    {
        fillCells();
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QSignalSpy spy(grid.get(), &FlexGrid::RowColChange);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid->cellRect(2, 1).center());
        QCOMPARE(spy.size(), 1);
        for (const QPoint cell : {QPoint(2, 2), QPoint(3, 3), QPoint(3, 5), QPoint(3, 3)}) {
            QMouseEvent move(
                QEvent::MouseMove, grid->cellRect(cell.x(), cell.y()).center(),
                grid->viewport()->mapToGlobal(grid->cellRect(cell.x(), cell.y()).center()),
                Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(grid->viewport(), &move);
        }
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                            grid->cellRect(3, 3).center());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(grid->Row(), 2);
        QCOMPARE(grid->Col(), 1);
        QCOMPARE(grid->Clip(), QStringLiteral("21\t22\t23\r31\t32\t33"));
        QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 6);

        // Shift with the arrow keys moves the far corner; Shift with a click
        // puts it on the clicked cell.
        QTest::keyClick(grid.get(), Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(grid.get(), Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(grid.get(), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(grid->Clip(), QStringLiteral("20\t21\r30\t31"));
        click(1, 1, Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(grid->Clip(), QStringLiteral("11\r21"));
        QCOMPARE(spy.size(), 1);
        // Setting the current cell makes it the whole selection again.
        grid->setRow(4);
        QCOMPARE(grid->Clip(), QStringLiteral("41"));
        QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 1);
    }

    void mouseEventsInTwips()
    {
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        QSignalSpy down(grid.get(), &FlexGrid::MouseDown);
        QSignalSpy dbl(grid.get(), &FlexGrid::DblClick);
        const QRect cell = grid->cellRect(2, 2);
        QTest::mousePress(grid->viewport(), Qt::RightButton, Qt::ShiftModifier, cell.center());
        QCOMPARE(down.size(), 1);
        QCOMPARE(down[0][0].toInt(), 2);
        QCOMPARE(down[0][1].toInt(), 1);
        const QPoint at = grid->viewport()->mapTo(grid.get(), cell.center());
        QCOMPARE(down[0][2].toDouble(), PixelsToTwipsX(at.x()));
        QCOMPARE(down[0][3].toDouble(), PixelsToTwipsY(at.y()));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(dbl.size(), 1);
        QCOMPARE(grid->Row(), 2);
        // Outside the cells a double click is nothing.
        grid->setRows(3);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                           QPoint(5, grid->viewport()->height() - 3));
        QCOMPARE(dbl.size(), 1);
    }

    void redrawIsReadable()
    {
        grid->setRedraw(false);
        QVERIFY(!grid->Redraw());
        QVERIFY(!grid->viewport()->updatesEnabled());
        grid->setRedraw(true);
        QVERIFY(grid->Redraw());
        // Inside another suspension, drawing stays off until the outer ends.
        {
            RedrawOff outer(grid.get());
            RedrawOff{grid.get()}; // an inner one, begun and ended
            QVERIFY(!grid->Redraw());
        }
        QVERIFY(grid->Redraw());
    }

    void coloursReadOnWhatTheyAreDrawnOn_data()
    {
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("button");
        QTest::addColumn<bool>("light");
        QTest::newRow("dark") << QColor(0x2b2b2b) << QColor(0x2b2b2b) << false;
        QTest::newRow("dark, lighter buttons") << QColor(0x1e1e1e) << QColor(0x3c3c3c) << false;
        QTest::newRow("dark, darker buttons") << QColor(0x3c3f41) << QColor(0x232629) << false;
        QTest::newRow("mid-grey") << QColor(0x808080) << QColor(0x808080) << false;
        QTest::newRow("light") << QColor(Qt::white) << QColor(0xefefef) << true;
    }
    void coloursReadOnWhatTheyAreDrawnOn()
    {
        QFETCH(QColor, base);
        QFETCH(QColor, button);
        QFETCH(bool, light);
        QPalette palette = grid->palette();
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Button, button);
        grid->setPalette(palette);
        for (int c = 0; c < grid->Cols(); ++c)
            grid->setColWidth(c, 390);
        grid->setRow(5); // the current cell away from the texts
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
        const QImage cells = grid->viewport()->grab().toImage();
        const QImage header = grid->horizontalHeader()->grab().toImage();
        // Holiday red and Saturday blue among the days and in the weekday row.
        for (const auto& [row, col, colour] :
             {std::tuple{2, 3, 255}, {2, 4, 16711680}, {0, 0, 255}, {0, 6, 16711680}}) {
            grid->setCellForeColorAt(row, col, colour);
            const QColor asked = FlexGrid::ColourFromWindows(colour);
            const QColor drawn =
                (row == 0 ? grid->model()->headerData(col, Qt::Horizontal, Qt::ForegroundRole)
                          : grid->model()->index(row - 1, col).data(Qt::ForegroundRole))
                    .value<QBrush>()
                    .color();
            if (light) {
                QCOMPARE(drawn, asked);
                continue;
            }
            QCOMPARE(drawn.hue(), asked.hue());
            // What is under the text, read from the picture down the cell
            // beside it: a header may be a gradient.
            const QRect rect = grid->cellRect(row, col);
            for (int y = rect.top() + 2; y < rect.bottom() - 1; ++y) {
                const QColor under = (row == 0 ? header : cells).pixelColor(rect.left() + 3, y);
                QVERIFY2(ContrastRatio(drawn, under) >= 4.5,
                         qPrintable(drawn.name() + QStringLiteral(" on ") + under.name()));
            }
        }
    }

    void sizesInTwips()
    {
        grid->setColWidth(2, 390);
        QCOMPARE(grid->columnWidth(2), TwipsToPixelsX(390));
        grid->setRowHeight(3, 600);
        QCOMPARE(grid->rowHeight(2), TwipsToPixelsY(600));
        QCOMPARE(qRound(grid->RowHeight(3)), qRound(PixelsToTwipsY(TwipsToPixelsY(600))));
        grid->setColAlignment(1, 1);
        grid->setTextMatrix(2, 1, QStringLiteral("a"));
        const QModelIndex cell = grid->model()->index(1, 1);
        QCOMPARE(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignLeft | Qt::AlignVCenter);
        grid->setColAlignment(1, 5);
        QCOMPARE(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignHCenter | Qt::AlignBottom);
    }
};

ZEDU_TEST_MAIN(tst_FlexGrid)
#include "tst_FlexGrid.moc"
