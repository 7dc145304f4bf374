#include "entries/clsPlan.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace {

const QString kHowToType = QStringLiteral(
    "変更する場合は、例えば、1999年7月なら[199907]の様に、年を４桁、月を２桁で入力して"
    "下さい。\r値を変更しない場合は、そのまま「ＯＫ」ボタンを押して下さい。");

} // namespace

class tst_RangeDisplayCommands : public MainWindowHarness
{
    Q_OBJECT

    FlexGrid* listGrid() const { return child<FlexGrid>("greList"); }

    // The Display items that carry a check mark.
    QStringList checkedModes() const
    {
        QStringList checked;
        for (const char* name : {"mnuDispMode_0", "mnuDispMode_1", "mnuDispMode_2"})
            if (menuItem(name)->isChecked())
                checked << QLatin1String(name);
        return checked;
    }

    // A calendar of July 1999 to July 2004 on 15 November 1999.
    void startIn1999()
    {
        Clock::setTodayForTesting(QDate(1999, 11, 15));
        QVERIFY(MakeCalendarFile(dataPath(), 199907, 200407));
        for (const int key : {19990715, 19990815, 19991118, 20040720})
            QVERIFY(WriteDayEntry(dataPath(), key, QStringLiteral("予定 %1").arg(key)));
        start();
    }

private slots:
    void listsOpenOnTheCurrentDay()
    {
        startIn1999();
        trigger("mnuDispMode_1");
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_1")}));
        QVERIFY(listGrid()->isVisible());
        QCOMPARE(listGrid()->Rows(), 1 + 1858);
        QCOMPARE(listGrid()->Text(), QStringLiteral("1999/11/15(月)"));
        QCOMPARE(listGrid()->TopRow(), listGrid()->Row());
        QCOMPARE(QApplication::focusWidget(), listGrid());
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(listGrid(), Qt::Key_Down);
        QCOMPARE(listGrid()->TextMatrix(listGrid()->Row(), 1), QStringLiteral("予定 19991118"));

        trigger("mnuDispMode_0");
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_0")}));
        QVERIFY(!listGrid()->isVisible());
        QCOMPARE(curDate(), 19991118);
        QCOMPARE(grid()->Text(), QStringLiteral("18"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("予定 19991118"));
        QCOMPARE(QApplication::focusWidget(), grid());

        // 通常 again keeps the day, whatever the list had selected.
        clickDay(20);
        trigger("mnuDispMode_0");
        QCOMPARE(curDate(), 19991120);
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_0")}));

        trigger("mnuDispMode_2");
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_2")}));
        QStringList listed;
        for (int r = 1; r < listGrid()->Rows(); ++r)
            listed << listGrid()->TextMatrix(r, 0);
        QCOMPARE(listed,
                 QStringList({QStringLiteral("1999/07/15(木)"), QStringLiteral("1999/08/15(日)"),
                              QStringLiteral("1999/11/18(木)"), QStringLiteral("2004/07/20(火)")}));
        // Switching lists opens the other one on the cursor's day.
        trigger("mnuDispMode_1");
        QCOMPARE(listGrid()->Text(), QStringLiteral("1999/11/20(土)"));
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_1")}));
    }

    void displaySwitchSavesFirstAndFailsCleanly()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        start();
        typeEntry(QStringLiteral("書きかけ"));
        trigger("mnuDispMode_2");
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("書きかけ"));
        QCOMPARE(listGrid()->Rows(), 2);
        trigger("mnuDispMode_0");

        // The calendar gone: the list cannot open, the month view stays.
        QVERIFY(QFile::rename(dataPath(), dataPath() + QStringLiteral(".away")));
        boxes->ok();
        trigger("mnuDispMode_1");
        QVERIFY(boxes->boxes.last().text.startsWith(StoreErrorText(QString())));
        QCOMPARE(checkedModes(), QStringList({QStringLiteral("mnuDispMode_0")}));
        QVERIFY(!listGrid()->isVisible());
        QVERIFY(!window()->isBusy());
        QCOMPARE(statusText(), QString());
        QVERIFY(QFile::rename(dataPath() + QStringLiteral(".away"), dataPath()));
    }

    void rangeChangeWithinItsBounds()
    {
        startIn1999();
        button(2)->click(); // the cursor elsewhere: the change brings it to today
        QCOMPARE(curDate(), 19991215);
        boxes->input(QStringLiteral("199806")); // before the first stored month
        boxes->ok();
        boxes->input(QStringLiteral("199908"));
        boxes->input(QStringLiteral("200412")); // past five years from now
        boxes->ok();
        boxes->input(QStringLiteral("200313")); // inside the bounds, yet no month
        boxes->ok();
        boxes->input(QStringLiteral("200411"));
        boxes->yes();
        trigger("mnuDateRange");

        QCOMPARE(boxes->boxes.size(), 9);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Input);
        QCOMPARE(boxes->boxes[0].initial, QStringLiteral("199907"));
        QCOMPARE(boxes->boxes[0].text, QStringLiteral("現在の暦は、1999/07 から登録されています。\r"
                                                      "1999/07～1999/11の間で指定して下さい。\r") +
                                           kHowToType);
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Warning);
        QCOMPARE(boxes->boxes[2].text, boxes->boxes[0].text);
        QCOMPARE(boxes->boxes[3].initial, QStringLiteral("200407"));
        QCOMPARE(boxes->boxes[3].text, QStringLiteral("現在の暦は、2004/07まで登録されています。\r"
                                                      "1999/11～2004/11の間で指定して下さい。\r") +
                                           kHowToType);
        // 200313 is refused like 200412, and asked again.
        QCOMPARE(boxes->boxes[6].text, boxes->boxes[4].text);
        QCOMPARE(boxes->boxes[7].text, boxes->boxes[3].text);
        QCOMPARE(boxes->boxes[8].kind, Dialogs::Kind::Question);
        QCOMPARE(boxes->boxes[8].text,
                 QStringLiteral("暦の変更を行います。\r変更後は、1999/08～2004/11に変更されます。"
                                "この範囲内に登録されている予定は保持されますが、この年月の範囲外"
                                "の予定は、全て削除され、二度と元に戻すことはできません。\r"
                                "暦の変更を実行して良いですか？"));

        SqlPeek peek(dataPath());
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master")).toInt(), 19990801);
        QCOMPARE(peek.one(QStringLiteral("SELECT max(日付) FROM Master")).toInt(), 20041130);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master")).toInt(), 1949);
        QCOMPARE(peek.one(QStringLiteral("SELECT group_concat(日付) FROM Master "
                                         "WHERE 内容 <> ''"))
                     .toString(),
                 QStringLiteral("19990815,19991118,20040720"));
        QCOMPARE(curDate(), 19991115);
        QCOMPARE(caption(), QStringLiteral("1999年11月"));
        QVERIFY(!window()->isBusy());
        QCOMPARE(statusText(), QString());
    }

    void declinedOrFailedRangeChangesNothing()
    {
        Clock::setTodayForTesting(QDate(1999, 12, 10));
        QVERIFY(MakeCalendarFile(dataPath(), 199907, 200407));
        start();
        const QByteArray before = FileDigest(dataPath());
        // A December: five years on is the December of 2004.
        boxes->input(QStringLiteral("199907"));
        boxes->cancel();
        trigger("mnuDateRange");
        QVERIFY(boxes->boxes[1].text.contains(QStringLiteral("1999/12～2004/12の間")));
        boxes->input(QStringLiteral("199907"));
        boxes->input(QStringLiteral("200412"));
        boxes->no();
        trigger("mnuDateRange");
        QCOMPARE(FileDigest(dataPath()), before);

        gMaster.setUpdatePhaseHookForTesting([](clsMaster::UpdatePhase phase) {
            if (phase == clsMaster::UpdatePhase::Filled)
                throw EngineError(QStringLiteral("Data.vad"), QStringLiteral("injected failure"));
        });
        button(2)->click();
        boxes->input(QStringLiteral("199907"));
        boxes->input(QStringLiteral("200412"));
        boxes->yes();
        boxes->ok();
        trigger("mnuDateRange");
        gMaster.setUpdatePhaseHookForTesting(nullptr);
        QCOMPARE(boxes->boxes.last().kind, Dialogs::Kind::Warning);
        QCOMPARE(boxes->boxes.last().text, QStringLiteral("暦の更新は失敗しました。"));
        QCOMPARE(curDate(), 20000110);
        QCOMPARE(FileDigest(dataPath()), before);
        QVERIFY(!window()->isBusy());
        QCOMPARE(statusText(), QString());
        QCOMPARE(BusyCount(), 0);
    }

    void wordWrapIsRememberedAndKeepsTheText()
    {
        start();
        QVERIFY(!menuItem("mnuWordWrap")->isChecked());
        const QString line = QString(120, QChar(u'長'));
        entryBox()->insertPlainText(line);
        trigger("mnuWordWrap");
        // Several rows for the line, nothing to scroll sideways, the text kept.
        QTRY_VERIFY(entryBox()->document()->firstBlock().layout()->lineCount() > 1);
        QVERIFY(!entryBox()->horizontalScrollBar()->isVisible());
        clickDay(8);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(), line);
        stop();
        start();
        QVERIFY(menuItem("mnuWordWrap")->isChecked());
        QCOMPARE(entryBox()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }

    void exitSavesThePendingEntry()
    {
        start();
        typeEntry(QStringLiteral("終了前"));
        trigger("mnuExit");
        QVERIFY(window()->isUnloaded());
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("終了前"));
        QVERIFY(!gDatabase.isOpen());
    }
};

ZEDU_TEST_MAIN(tst_RangeDisplayCommands)
#include "tst_RangeDisplayCommands.moc"
