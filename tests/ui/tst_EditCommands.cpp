#include "entries/clsPlan.h"
#include "platform/DayKey.h"
#include "platform/JapaneseHolidays.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kNoUndo = QStringLiteral("変更すると元に戻せません。実行しますか？");

int holidays(const QString& path, const QString& where)
{
    return SqlPeek(path)
        .one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0 AND ") + where)
        .toInt();
}

QList<QVariantList> rowsOf(const QString& path)
{
    return SqlPeek(path).rows(QStringLiteral("SELECT * FROM Master ORDER BY 日付"));
}

} // namespace

class tst_EditCommands : public MainWindowHarness
{
    Q_OBJECT

    QMenu* editMenu() const { return window()->findChild<QMenu*>(QStringLiteral("mnuEdit")); }

    int colourOf(int day) const
    {
        const QPoint cell = cellOf(day);
        return grid()->CellForeColorAt(cell.y(), cell.x());
    }

    // The tooltip the grid offers for the cell of `day`.
    QString toolTipOf(int day) const
    {
        const QPoint cell = cellOf(day);
        return grid()->model()->index(cell.y() - 1, cell.x()).data(Qt::ToolTipRole).toString();
    }

    // The window as every command leaves it: usable, quiet, not busy.
    void verifyIdle()
    {
        QVERIFY(window()->isEnabled());
        QCOMPARE(statusText(), QString());
        QCOMPARE(BusyCount(), 0);
        QVERIFY(grid()->Redraw());
    }

    // Opens the Edit menu from the menu bar, as a click on its title does.
    void openEditMenuFromTheBar()
    {
        window()->menuBar()->setActiveAction(editMenu()->menuAction());
        QTRY_VERIFY(editMenu()->isVisible());
    }

private slots:
    void copyTakesTheSelectionOfTheFocusedControl()
    {
        start();
        QClipboard* clipboard = QGuiApplication::clipboard();
        typeEntry(QStringLiteral("会議は十時から"));
        QTest::keyClick(entryBox(), Qt::Key_Home);
        QTest::keyClick(entryBox(), Qt::Key_Right);
        QTest::keyClick(entryBox(), Qt::Key_Right);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(entryBox(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(entryBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("は十時"));

        // Nothing highlighted: the clipboard holds the empty text.
        QTest::keyClick(entryBox(), Qt::Key_End);
        QTest::keyClick(entryBox(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(clipboard->mimeData()->hasText());
        QCOMPARE(clipboard->text(), QString());

        // On a button: the clipboard is emptied and nothing put there.
        clipboard->setText(QStringLiteral("前の内容"));
        button(1)->setFocus();
        QTest::keyClick(button(1), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!clipboard->mimeData() || !clipboard->mimeData()->hasText());
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("会議は十時から"));
    }

    void dragCopiesABlockOfDays()
    {
        start();
        // December 2026 begins on a Tuesday: 8 to 10 over 15 to 17.
        clickDay(8);
        QCOMPARE(curDate(), 20261208);
        dragDays(8, 17);
        QCOMPARE(curDate(), 20261208);
        QCOMPARE(grid()->Text(), QStringLiteral("8"));
        QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("8\t9\t10\r15\t16\t17"));
        // A digit typed in the grid does not jump to a day.
        QTest::keyClicks(grid(), QStringLiteral("25"));
        QCOMPARE(curDate(), 20261208);
    }

    void singleDayItemsOnlyInTheMonthView()
    {
        start();
        QAction* change = menuItem("mnuChange");
        QAction* changeAll = menuItem("mnuChangeAll");
        trigger("mnuDispMode_1");
        openEditMenuFromTheBar();
        QVERIFY(!change->isEnabled());
        QVERIFY(!changeAll->isEnabled());
        QVERIFY(menuItem("mnuWeekAll")->isEnabled());
        QVERIFY(menuItem("mnuPlanAll")->isEnabled());
        editMenu()->close();
        trigger("mnuDispMode_0");
        // The grid's context menu is the same menu.
        clickDay(10, Qt::RightButton);
        QTRY_VERIFY(editMenu()->isVisible());
        QVERIFY(change->isEnabled());
        QVERIFY(changeAll->isEnabled());
        editMenu()->close();
    }

    void switchingOneDayAndBack()
    {
        start();
        QCOMPARE(colourOf(7), -1);
        trigger("mnuChange");
        QCOMPARE(colourOf(7), 255);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("平日")).toBool(), false);
        trigger("mnuChange");
        QCOMPARE(colourOf(7), -1);
        // A double click switches the day its first click selected.
        doubleClickDay(9);
        QCOMPARE(curDate(), 20261209);
        QCOMPARE(colourOf(9), 255);
        doubleClickDay(9);
        QCOMPARE(colourOf(9), -1);
        QCOMPARE(colourOf(12), 255);
        QVERIFY(boxes->boxes.isEmpty());
        verifyIdle();
    }

    void rightClickActsOnTheCurrentDay()
    {
        start();
        typeEntry(QStringLiteral("七日の予定"));
        clickDay(10, Qt::RightButton);
        QTRY_VERIFY(editMenu()->isVisible());
        QCOMPARE(curDate(), 20261207);
        QCOMPARE(grid()->Text(), QStringLiteral("7"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("七日の予定"));
        menuItem("mnuChange")->trigger();
        editMenu()->close();
        QCOMPARE(colourOf(7), 255);
        QCOMPARE(colourOf(10), -1);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("七日の予定"));
    }

    void yearlyHolidayOnLeapDay()
    {
        start(202612, 203112);
        window()->calendar()->setCurDate(20280229);
        boxes->yes();
        trigger("mnuChangeAll");
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Question);
        QCOMPARE(boxes->boxes[0].title, QStringLiteral("Zedu"));
        QCOMPARE(boxes->boxes[0].text,
                 QStringLiteral("全ての 2月29日を休日に設定します。\r"
                                "一度変更したら元には戻せません。実行して良いですか？"));
        QCOMPARE(colourOf(29), 255);
        QCOMPARE(holidays(dataPath(), QStringLiteral("日付 % 10000 = 229")), 1);
        QCOMPARE(
            holidays(dataPath(), QStringLiteral("日付 % 10000 = 301 AND 曜日 BETWEEN 1 AND 5")), 0);
        verifyIdle();
    }

    void wholeWeekdayColumns()
    {
        start();
        clickDay(12); // a Saturday
        const int saturdays = SqlPeek(dataPath())
                                  .one(QStringLiteral("SELECT count(*) FROM Master WHERE 曜日 = 6"))
                                  .toInt();
        boxes->yes();
        trigger("mnuWeekAll");
        QCOMPARE(boxes->boxes.last().text,
                 QStringLiteral("全ての土曜日を平日にします。\r") + kNoUndo);
        QCOMPARE(holidays(dataPath(), QStringLiteral("曜日 = 6")), 0);
        QCOMPARE(colourOf(19), -1);
        QCOMPARE(colourOf(13), 255);

        boxes->yes();
        trigger("mnuWeekNotAll");
        QCOMPARE(boxes->boxes.last().text,
                 QStringLiteral("全ての土曜日を休日にします。\r") + kNoUndo);
        QCOMPARE(holidays(dataPath(), QStringLiteral("曜日 = 6")), saturdays);
        QCOMPARE(colourOf(5), 255);
        QCOMPARE(colourOf(26), 255);
        // The selection stays on the Saturday it was on.
        QCOMPARE(grid()->Col(), 6);
        QCOMPARE(grid()->Text(), QStringLiteral("12"));
        QCOMPARE(curDate(), 20261212);
        verifyIdle();
    }

    void everyDayOneKind()
    {
        start(202612, 202701);
        boxes->yes();
        trigger("mnuWeekDayAll");
        boxes->yes();
        trigger("mnuNotWeekDayAll");
        QCOMPARE(boxes->texts(),
                 QStringList({QStringLiteral("全て平日にします。登録されている暦に、休日がなくなり"
                                             "ます。\r") +
                                  kNoUndo,
                              QStringLiteral("全て休日にします。登録されている暦に、平日がなくなり"
                                             "ます。\r") +
                                  kNoUndo}));
        QCOMPARE(holidays(dataPath(), QStringLiteral("1")), 62);
        QCOMPARE(colourOf(1), 255);
        QCOMPARE(colourOf(7), 255);
        boxes->yes();
        trigger("mnuWeekDayAll");
        QCOMPARE(holidays(dataPath(), QStringLiteral("1")), 0);
        QCOMPARE(colourOf(27), -1);
        verifyIdle();
    }

    void yearlyEventGoesOnTop()
    {
        start();
        boxes->input(QStringLiteral("誕生日"));
        trigger("mnuPlanAll");
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Input);
        QCOMPARE(boxes->boxes[0].title, QStringLiteral("Zedu"));
        QCOMPARE(boxes->boxes[0].initial, QString());
        QCOMPARE(
            boxes->boxes[0].text,
            QStringLiteral("全ての12月7日の内容に、指定された行事を挿入します。\r"
                           "既に登録されている内容は保持され、行事は一行目に挿入されます。\r"
                           "一度変更したら元には戻せません。挿入したい行事を入力して下さい。"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("誕生日\n"));
        QCOMPARE(ReadDayField(dataPath(), 20301207, QStringLiteral("内容")).toString(),
                 QStringLiteral("誕生日\r\n"));

        // Typed text that was not saved yet ends up below the event.
        clickDay(8);
        typeEntry(QStringLiteral("打合せ"));
        boxes->input(QStringLiteral("記念日"));
        trigger("mnuPlanAll");
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("記念日\n打合せ"));
        QCOMPARE(ReadDayField(dataPath(), 20261208, QStringLiteral("内容")).toString(),
                 QStringLiteral("記念日\r\n打合せ"));
        QCOMPARE(ReadDayField(dataPath(), 20271208, QStringLiteral("内容")).toString(),
                 QStringLiteral("記念日\r\n"));
        QVERIFY(!window()->plan()->Dirty);
        verifyIdle();
    }

    void publicHolidaysBecomeHolidays()
    {
        start(201801, 202212);
        window()->calendar()->setCurDate(20210802);
        trigger("mnuChange"); // marked by hand, and left so
        // Marked or not, a holiday shows its name; other days show none.
        QCOMPARE(toolTipOf(8), QStringLiteral("山の日"));
        QCOMPARE(toolTipOf(9), QStringLiteral("振替休日"));
        QCOMPARE(toolTipOf(10), QString());
        const QByteArray before = FileDigest(dataPath());
        boxes->no();
        trigger("mnuPublicHolidays");
        QCOMPARE(FileDigest(dataPath()), before);
        QCOMPARE(colourOf(9), -1);
        boxes->yes();
        trigger("mnuPublicHolidays");
        const QString question = QStringLiteral("登録されている暦の国民の祝日（振替休日と国民の"
                                                "休日を含む）を全て休日にします。\r") +
                                 kNoUndo;
        QCOMPARE(boxes->texts(), (QStringList{question, question}));
        // 76 weekdays of the official list, and the one marked by hand.
        QCOMPARE(holidays(dataPath(), QStringLiteral("曜日 BETWEEN 1 AND 5")), 77);
        QCOMPARE(holidays(dataPath(), QStringLiteral("日付 = 20210802")), 1);
        for (const JapaneseHoliday& h : JapaneseHolidays(QDate(2018, 1, 1), QDate(2022, 12, 31)))
            QCOMPARE(ReadDayField(dataPath(), DayKey(h.date), QStringLiteral("平日")).toInt(), 0);
        QCOMPARE(colourOf(9), 255);
        QCOMPARE(colourOf(10), -1);
        verifyIdle();
        const QByteArray marked = FileDigest(dataPath());
        boxes->yes();
        trigger("mnuPublicHolidays");
        QCOMPARE(FileDigest(dataPath()), marked);
        // Another month leaves no name behind in a cell.
        const QPoint substitute = cellOf(9);
        window()->calendar()->setCurDate(20210601);
        QCOMPARE(grid()->CellToolTipAt(substitute.y(), substitute.x()), QString());
    }

    void declinedCommandsChangeNothing()
    {
        start();
        typeEntry(QStringLiteral("未保存"));
        const QByteArray before = FileDigest(dataPath());
        for (const char* name :
             {"mnuChangeAll", "mnuWeekDayAll", "mnuNotWeekDayAll", "mnuWeekAll", "mnuWeekNotAll"}) {
            boxes->no();
            trigger(name);
            verifyIdle();
        }
        QCOMPARE(FileDigest(dataPath()), before);
        QCOMPARE(boxes->boxes.size(), 5);
        // The yearly event saves the pending entry first, then Cancel or an
        // empty text inserts nothing.
        boxes->cancel();
        trigger("mnuPlanAll");
        boxes->input(QString());
        trigger("mnuPlanAll");
        verifyIdle();
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("未保存"));
        QCOMPARE(SqlPeek(dataPath())
                     .one(QStringLiteral("SELECT count(*) FROM Master WHERE 内容 <> ''"))
                     .toInt(),
                 1);
    }

    void storeErrorLeavesTheCalendarAsItWas_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("asks");
        // A day on which the command has something to change: a Friday, or
        // a Saturday for making a weekday's days workdays.
        QTest::addColumn<int>("day");
        QTest::newRow("switch one day") << QStringLiteral("mnuChange") << false << 11;
        QTest::newRow("yearly holiday") << QStringLiteral("mnuChangeAll") << true << 11;
        QTest::newRow("all workdays") << QStringLiteral("mnuWeekDayAll") << true << 11;
        QTest::newRow("all holidays") << QStringLiteral("mnuNotWeekDayAll") << true << 11;
        QTest::newRow("weekday workdays") << QStringLiteral("mnuWeekAll") << true << 12;
        QTest::newRow("weekday holidays") << QStringLiteral("mnuWeekNotAll") << true << 11;
        QTest::newRow("yearly event") << QStringLiteral("mnuPlanAll") << false << 11;
        QTest::newRow("public holidays") << QStringLiteral("mnuPublicHolidays") << true << 11;
    }
    void storeErrorLeavesTheCalendarAsItWas()
    {
        QFETCH(QString, item);
        QFETCH(bool, asks);
        QFETCH(int, day);
        start();
        clickDay(day);
        QVERIFY(SqlPeek(dataPath())
                    .exec(QStringLiteral("CREATE TRIGGER fail BEFORE UPDATE ON Master "
                                         "WHEN old.日付 >= 20261211 "
                                         "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")));
        const QByteArray before = FileDigest(dataPath());
        if (asks)
            boxes->yes();
        if (item == QLatin1String("mnuPlanAll"))
            boxes->input(QStringLiteral("行事"));
        boxes->ok();
        trigger(item.toLatin1().constData());
        const ScriptedDialogs::Box& warning = boxes->boxes.last();
        QCOMPARE(warning.kind, Dialogs::Kind::Warning);
        QVERIFY(warning.text.startsWith(QStringLiteral("暦ファイルの読み書きに失敗しました。\r")));
        QVERIFY(warning.text.contains(QLatin1String("injected failure")));
        verifyIdle();
        QCOMPARE(FileDigest(dataPath()), before);
        QVERIFY(!gDatabase.inTransaction());
        // The window goes on working.
        clickDay(14);
        QCOMPARE(curDate(), 20261214);
        QVERIFY(entryBox()->isVisible());
    }

    void irreversibleCommandsBackUpFirst_data()
    {
        QTest::addColumn<QString>("item");
        // "yes" or the text of an input box, comma-separated; the day is one
        // on which the command changes something.
        QTest::addColumn<QString>("answers");
        QTest::addColumn<int>("day");
        const QString yes = QStringLiteral("yes");
        QTest::newRow("yearly holiday") << QStringLiteral("mnuChangeAll") << yes << 11;
        QTest::newRow("all workdays") << QStringLiteral("mnuWeekDayAll") << yes << 11;
        QTest::newRow("all holidays") << QStringLiteral("mnuNotWeekDayAll") << yes << 11;
        QTest::newRow("weekday workdays") << QStringLiteral("mnuWeekAll") << yes << 12;
        QTest::newRow("weekday holidays") << QStringLiteral("mnuWeekNotAll") << yes << 11;
        QTest::newRow("yearly event")
            << QStringLiteral("mnuPlanAll") << QStringLiteral("行事") << 11;
        QTest::newRow("range") << QStringLiteral("mnuDateRange")
                               << QStringLiteral("202612,203006,yes") << 11;
    }
    void irreversibleCommandsBackUpFirst()
    {
        QFETCH(QString, item);
        QFETCH(QString, answers);
        QFETCH(int, day);
        start(); // the day's first backup
        clickDay(day);
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("直前の状態")));
        const QList<QVariantList> before = rowsOf(dataPath());
        for (const QString& answer : answers.split(QLatin1Char(',')))
            answer == QLatin1String("yes") ? boxes->yes() : boxes->input(answer);
        trigger(item.toLatin1().constData());
        verifyIdle();
        QCOMPARE(ListBackups().size(), 2);
        QCOMPARE(rowsOf(BackupFolder() + QLatin1Char('/') + ListBackups().last()), before);
        QVERIFY(rowsOf(dataPath()) != before);
    }

    void commandWithoutABackupIsAskedAbout()
    {
        start();
        QVERIFY(QDir(BackupFolder()).removeRecursively());
        QVERIFY(QFile(BackupFolder()).open(QIODevice::WriteOnly)); // no folder can be made
        const QByteArray before = FileDigest(dataPath());
        for (const bool goOn : {false, true}) {
            boxes->clear();
            boxes->yes();
            goOn ? boxes->yes() : boxes->no();
            trigger("mnuWeekDayAll");
            QCOMPARE(boxes->boxes.size(), 2);
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("暦ファイルのバックアップを作成できませんでした。\r原因は分か"
                                    "りません。\r（the backup folder cannot be made）\r"
                                    "バックアップなしで実行しますか？"));
            QCOMPARE(boxes->boxes[1].defaultButton, Dialogs::No);
            QCOMPARE(FileDigest(dataPath()) == before, !goOn);
            verifyIdle();
        }
    }
};

ZEDU_TEST_MAIN(tst_EditCommands)
#include "tst_EditCommands.moc"
