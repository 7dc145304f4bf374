#include "platform/Running.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/frmSearch.h"
#include "view/FlexGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>

class tst_Search : public MainWindowHarness
{
    Q_OBJECT

    frmSearch* searchWindow() const { return child<frmSearch>("frmSearch"); }
    QLineEdit* findField() const
    {
        return searchWindow()->findChild<QLineEdit*>(QStringLiteral("txtFind"));
    }
    QString count() const
    {
        return searchWindow()->findChild<QLabel*>(QStringLiteral("lblCount"))->text();
    }
    QTreeView* found() const
    {
        return searchWindow()->findChild<QTreeView*>(QStringLiteral("lstFound"));
    }
    // A result row as "date|hits|line".
    QString row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 3; ++c)
            cells << found()->model()->index(r, c).data().toString();
        return cells.join(QLatin1Char('|'));
    }
    // The hits highlighted in the entry box: "text@position ...".
    QString highlighted() const
    {
        QStringList hits;
        for (const QTextEdit::ExtraSelection& mark : entryBox()->extraSelections())
            hits << mark.cursor.selectedText() + QLatin1Char('@') +
                        QString::number(mark.cursor.selectionStart());
        return hits.join(QLatin1Char(' '));
    }
    // The entry box has the keyboard, the cursor at the start of the first hit.
    void verifyAtFirstHit(int position)
    {
        QTRY_VERIFY(entryBox()->hasFocus());
        QCOMPARE(entryBox()->textCursor().position(), position);
        QVERIFY(!entryBox()->textCursor().hasSelection());
    }
    // Where the top left corner of a day's cell is drawn.
    QColor cornerOf(int day) const
    {
        const QPoint cell = cellOf(day);
        const QImage image = grid()->viewport()->grab().toImage();
        return image.pixelColor(grid()->cellRect(cell.y(), cell.x()).topLeft() + QPoint(1, 1));
    }

private slots:
    void searchingOpensTheDayAtItsFirstHit()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261215,
                              QStringLiteral("朝は晴れ\r\n昼はラーメン、夜もらーめん")));
        QVERIFY(WriteDayEntry(dataPath(), 20270110, QStringLiteral("ﾗｰﾒﾝ屋で")));
        QVERIFY(WriteDayEntry(dataPath(), 20261201, QStringLiteral("カレー")));
        start();
        // Typed and not yet saved: it counts as it is.
        typeEntry(QStringLiteral("らーめん日記"));
        trigger("mnuDispMode_1");

        QTest::keyClick(child<FlexGrid>("greList"), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(searchWindow()->isVisible());
        QCOMPARE(searchWindow()->windowTitle(), QStringLiteral("検索"));
        QTRY_VERIFY(findField()->hasFocus());
        typeInto(findField(), QStringLiteral("ラーメン"));
        QTRY_COMPARE(count(), QStringLiteral("3日・4件"));
        QCOMPARE(row(0), QStringLiteral("2026/12/07(月)|1|らーめん日記"));
        QCOMPARE(row(1), QStringLiteral("2026/12/15(火)|2|昼はラーメン、夜もらーめん"));
        QCOMPARE(row(2), QStringLiteral("2027/01/10(日)|1|ﾗｰﾒﾝ屋で"));
        // The current day's row is selected; the text field's arrow keys
        // move it.
        QCOMPARE(found()->currentIndex().row(), 0);
        QTest::keyClick(findField(), Qt::Key_Down);
        QCOMPARE(found()->currentIndex().row(), 1);

        // Return: the day in the month grid display, every hit highlighted,
        // the cursor at the first.
        QTest::keyClick(findField(), Qt::Key_Return);
        QCOMPARE(curDate(), 20261215);
        QVERIFY(menuItem("mnuDispMode_0")->isChecked());
        QVERIFY(!child<FlexGrid>("greList")->isVisible());
        QCOMPARE(grid()->Text(), QStringLiteral("15"));
        verifyAtFirstHit(7);
        QCOMPARE(highlighted(), QStringLiteral("ラーメン@7 らーめん@14"));
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("らーめん日記"));

        // A double click on a row does the same; the half-width hit is
        // highlighted over its original characters.
        const QPoint last = found()->visualRect(found()->model()->index(2, 0)).center();
        QTest::mouseClick(found()->viewport(), Qt::LeftButton, Qt::NoModifier, last);
        QTest::mouseDClick(found()->viewport(), Qt::LeftButton, Qt::NoModifier, last);
        QCOMPARE(curDate(), 20270110);
        verifyAtFirstHit(0);
        QCOMPARE(highlighted(), QStringLiteral("ﾗｰﾒﾝ@0"));
        QCOMPARE(searchWindow()->results().dayKeys(), (QList<int>{20261207, 20261215, 20270110}));
    }

    void findNextAndPreviousGoRoundTheDiary()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202611, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261120, QStringLiteral("東京出張")));
        QVERIFY(WriteDayEntry(dataPath(), 20261215, QStringLiteral("東京タワー")));
        QVERIFY(WriteDayEntry(dataPath(), 20270110, QStringLiteral("雪の東京駅")));
        start();
        // Without a search text F3 opens the window.
        QTest::keyClick(entryBox(), Qt::Key_F3);
        QVERIFY(searchWindow()->isVisible());
        typeInto(findField(), QStringLiteral("東京"));
        QTRY_COMPARE(count(), QStringLiteral("3日・3件"));
        // F3 in the window itself; not while a command of the main window
        // runs.
        {
            RunningScope busy(window(), QStringLiteral("予定を書き込んでいます。"));
            QTest::keyClick(findField(), Qt::Key_F3);
            QCOMPARE(curDate(), 20261207);
        }
        QTest::keyClick(findField(), Qt::Key_F3);
        QCOMPARE(curDate(), 20261215);
        verifyAtFirstHit(0);
        QTest::keyClick(searchWindow(), Qt::Key_Escape);
        QVERIFY(!searchWindow()->isVisible());

        const struct
        {
            Qt::KeyboardModifiers keys;
            int day;
            const char* caption;
            int at;
            const char* message;
        } steps[] = {
            {Qt::NoModifier, 20270110, "2027年1月", 2, ""},
            {Qt::NoModifier, 20261120, "2026年11月", 0, "先頭から検索しました。"},
            {Qt::ShiftModifier, 20270110, "2027年1月", 2, "末尾から検索しました。"},
            {Qt::ShiftModifier, 20261215, "2026年12月", 0, ""},
            {Qt::ShiftModifier, 20261120, "2026年11月", 0, ""},
        };
        for (const auto& step : steps) {
            QTest::keyClick(window()->focusWidget(), Qt::Key_F3, step.keys);
            QCOMPARE(curDate(), step.day);
            QCOMPARE(caption(), QString::fromUtf8(step.caption));
            QCOMPARE(statusText(), QString::fromUtf8(step.message));
            verifyAtFirstHit(step.at);
            // Opened from the search: highlighted with the window closed.
            QCOMPARE(highlighted(), QStringLiteral("東京@%1").arg(step.at));
        }
        // Another day reached otherwise shows no highlight.
        button(2)->click();
        clickDay(15);
        QCOMPARE(curDate(), 20261215);
        QTRY_COMPARE(highlighted(), QString());
    }

    void escapeGivesTheKeyboardBack()
    {
        start();
        clickDay(10);
        QVERIFY(grid()->hasFocus());
        QTest::keyClick(grid(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(findField()->hasFocus());
        typeInto(findField(), QStringLiteral("会議"));
        QTest::keyClick(findField(), Qt::Key_Escape);
        QVERIFY(!searchWindow()->isVisible());
        QTRY_VERIFY(grid()->hasFocus());
        QCOMPARE(curDate(), 20261210);
        // Opened again: the text is kept and selected, so typing replaces it.
        QTest::keyClick(grid(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(findField()->hasFocus());
        QCOMPARE(findField()->selectedText(), QStringLiteral("会議"));
    }

    void placementAndKanaChoiceAreRemembered()
    {
        start();
        trigger("mnuFind");
        QCheckBox* kana = searchWindow()->findChild<QCheckBox*>(QStringLiteral("chkKana"));
        QVERIFY(kana->isChecked());
        kana->click();
        searchWindow()->setGeometry(QRect(QPoint(90, 80), QSize(640, 420)));
        const QPoint placed = searchWindow()->pos();
        QTest::keyClick(searchWindow(), Qt::Key_Escape);
        stop();

        start();
        trigger("mnuFind");
        QVERIFY(!searchWindow()->findChild<QCheckBox*>(QStringLiteral("chkKana"))->isChecked());
        QCOMPARE(searchWindow()->size(), QSize(640, 420));
        QCOMPARE(searchWindow()->pos(), placed);
    }

    void marksOnDaysWithEntries()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261204, QStringLiteral("健康診断")));
        start();
        QAction* item = menuItem("mnuMarkEntries");
        const QColor mark = grid()->palette().color(QPalette::Highlight);
        QVERIFY(item->isChecked());
        QCOMPARE(cornerOf(4), mark);
        QVERIFY(cornerOf(5) != mark);
        // Written today, marked once saved by the move to another day.
        typeEntry(QStringLiteral("忘年会"));
        clickDay(8);
        QCOMPARE(cornerOf(7), mark);

        trigger("mnuMarkEntries");
        QVERIFY(!item->isChecked());
        QVERIFY(cornerOf(4) != mark);
        stop();
        start();
        QVERIFY(!menuItem("mnuMarkEntries")->isChecked());
        QVERIFY(cornerOf(4) != mark);
        trigger("mnuMarkEntries");
        QVERIFY(menuItem("mnuMarkEntries")->isChecked());
        QCOMPARE(cornerOf(4), mark);
    }
};

ZEDU_TEST_MAIN(tst_Search)
#include "tst_Search.moc"
