#include "app/Main.h"
#include "entries/clsPlan.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ModalBoxes.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/RetryTimer.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QHash>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <qpa/qwindowsysteminterface.h>

namespace {

const QString kOutOfRange = QStringLiteral("登録暦範囲外です。ﾌｧｲﾙ→登録暦範囲で変更できます。");

// SQLite bumps the file change counter (header bytes 24..27) on every
// committed write, so an unchanged counter proves that nothing was written.
QByteArray changeCounter(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(28).mid(24);
}

} // namespace

class tst_frmMain : public MainWindowHarness
{
    Q_OBJECT

private slots:
    void firstRunCreatesTheCalendarAndShowsToday()
    {
        bool splashSeen = false;
        boxes->onBox = [&](const ScriptedDialogs::Box&) {
            // The questions of the first run come up over the splash.
            splashSeen = AboutBoxLoaded() && AboutBox()->isVisible() &&
                         AboutBox()->windowTitle().isEmpty() && !AboutBox()->cmdClose->isVisible();
        };
        boxes->yes();
        boxes->yes();
        QCOMPARE(Main(), std::optional<int>());
        boxes->onBox = nullptr;
        QVERIFY(splashSeen);
        QVERIFY(!AboutBoxLoaded());
        QVERIFY(QFile::exists(dataPath()));
        QCOMPARE(boxes->boxes.size(), 2);
        QVERIFY(boxes->boxes[0].text.contains(QStringLiteral("2026/12/07")));
        QVERIFY(QTest::qWaitForWindowActive(window()));

        QCOMPARE(window()->windowTitle(), QStringLiteral("Zedu"));
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QVERIFY(grid()->isVisible());
        QCOMPARE(grid()->Text(), QStringLiteral("7"));
        QCOMPARE(cellOf(7), QPoint(grid()->Col(), grid()->Row()));
        QVERIFY(entryBox()->isVisible());
        QCOMPARE(entryBox()->toPlainText(), QString());
        QCOMPARE(window()->calendar()->CurDate(), 20261207);
        QCOMPARE(QApplication::focusWidget(), entryBox());
        QVERIFY(window()->isEnabled());
        QCOMPARE(statusText(), QString());
        QCOMPARE(BusyCount(), 0);
        QCOMPARE(ReadDayField(dataPath(), 20311231, QStringLiteral("日付")).toInt(), 20311231);
        QVERIFY(!ReadDayField(dataPath(), 20320101, QStringLiteral("日付")).isValid());
    }

    void typingIsSavedToTheDayItWasTypedFor_data() { AddSpeedPriorityRows(); }
    void typingIsSavedToTheDayItWasTypedFor()
    {
        QFETCH(bool, speed);
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"),
                         speed ? QStringLiteral("True") : QStringLiteral("False")));
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 202712));
        QVERIFY(WriteDayEntry(dataPath(), 20261208, QStringLiteral("八日の予定\r\n二行目")));
        start();
        QCOMPARE(gOpenFlag, speed);

        typeEntry(QStringLiteral("abc"));
        clickDay(8);
        QCOMPARE(window()->calendar()->CurDate(), 20261208);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("abc"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("八日の予定\n二行目"));

        // Moving on without typing writes nothing.
        const QByteArray counter = changeCounter(dataPath());
        clickDay(9);
        clickDay(8);
        QCOMPARE(changeCounter(dataPath()), counter);
        QCOMPARE(ReadDayField(dataPath(), 20261208, QStringLiteral("内容")).toString(),
                 QStringLiteral("八日の予定\r\n二行目"));

        // An edited multi-line entry is stored with CR LF; clearing stores "".
        entryBox()->moveCursor(QTextCursor::End);
        typeEntry(QStringLiteral("\n三行目"));
        clickDay(9);
        QCOMPARE(ReadDayField(dataPath(), 20261208, QStringLiteral("内容")).toString(),
                 QStringLiteral("八日の予定\r\n二行目\r\n三行目"));
        clickDay(8);
        entryBox()->selectAll();
        QTest::keyClick(entryBox(), Qt::Key_Delete);
        clickDay(9);
        QCOMPARE(ReadDayField(dataPath(), 20261208, QStringLiteral("内容")).toString(), QString());
        if (!speed)
            QVERIFY(!gDatabase.isOpen());
    }

    void controlsAndMenusInTheirPlaces()
    {
        start();
        // The keyboard walks the controls in their order.
        const char* order[] = {"txtToday", "greDate", "txtYm",   "cmdYm_0", "cmdYm_2",
                               "cmdYm_1",  "greList", "cmdJump", "lstJump"};
        QStringList wanted;
        for (const char* name : order)
            wanted << QLatin1String(name);
        QStringList chain;
        QWidget* w = child<QWidget>(order[0]);
        do {
            if (wanted.contains(w->objectName()) && !chain.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != child<QWidget>(order[0]));
        QCOMPARE(chain, wanted);
        QCOMPARE(child<QWidget>("txtToday")->toolTip(), QStringLiteral("ｶﾚﾝﾀﾞｰ日付の内容"));
        QCOMPARE(child<QWidget>("txtYm")->toolTip(), QStringLiteral("ｶﾚﾝﾀﾞｰの年月"));
        QCOMPARE(button(0)->toolTip(), QStringLiteral("先月に移動"));
        QCOMPARE(button(1)->text(), QStringLiteral("@"));
        QCOMPARE(button(2)->toolTip(), QStringLiteral("来月に移動"));
        QCOMPARE(child<QWidget>("cmdJump")->toolTip(), QStringLiteral("年月ｼﾞｬﾝﾌﾟ"));
        QCOMPARE(child<QWidget>("greList")->toolTip(), QStringLiteral("一覧表"));
        QVERIFY(child<QLineEdit>("txtYm")->isReadOnly());
        QCOMPARE(button(0)->geometry(), QRect(TwipsToPixelsX(1620), TwipsToPixelsY(60),
                                              TwipsToPixelsX(315), TwipsToPixelsY(315)));

        const QList<QStringList> menus = {
            {QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("mnuDateRange 登録暦範囲(&R)"),
             QStringLiteral("mnuFileSepa2 -"), QStringLiteral("mnuRestore ﾊﾞｯｸｱｯﾌﾟから復元(&B)"),
             QStringLiteral("mnuExport ｴｸｽﾎﾟｰﾄ(&X)"), QStringLiteral("mnuImport ｲﾝﾎﾟｰﾄ(&I)"),
             QStringLiteral("mnuPrint 印刷(&P)"), QStringLiteral("mnuFileSepa1 -"),
             QStringLiteral("mnuExit 終了(&E)")},
            {QStringLiteral("編集(&E)"), QStringLiteral("mnuCopy ｺﾋﾟｰ(&C)"),
             QStringLiteral("mnuEditSepa1 -"), QStringLiteral("mnuChange 平日・休日切替え(&H)"),
             QStringLiteral("mnuChangeAll 毎年休日設定(&A)"),
             QStringLiteral("mnuWeekDayAll 全て平日(&W)"),
             QStringLiteral("mnuNotWeekDayAll 全て休日(&H)"),
             QStringLiteral("mnuWeekAll 全曜日平日(&G)"),
             QStringLiteral("mnuWeekNotAll 全曜日休日(&E)"), QStringLiteral("mnuEditSepa2 -"),
             QStringLiteral("mnuPlanAll 毎年行事挿入(&P)"), QStringLiteral("mnuEditSepa3 -"),
             QStringLiteral("mnuPublicHolidays 祝日を休日に設定(&J)"),
             QStringLiteral("mnuEditSepa4 -"), QStringLiteral("mnuFind 検索(&F)"),
             QStringLiteral("mnuFindNext 次を検索(&N)"),
             QStringLiteral("mnuFindPrev 前を検索(&B)")},
            {QStringLiteral("表示(&D)"), QStringLiteral("mnuDispMode_0 通常(&N)"),
             QStringLiteral("mnuDispMode_1 全暦一覧(&L)"),
             QStringLiteral("mnuDispMode_2 予定がある日だけの一覧(&P)"),
             QStringLiteral("mnuDispSepa1 -"), QStringLiteral("mnuWordWrap 右端で折り返す(&W)"),
             QStringLiteral("mnuMarkEntries 予定がある日に印(&M)"),
             QStringLiteral("mnuDispSepa2 -"), QStringLiteral("mnuOnThisDay 過去の同じ日(&O)"),
             QStringLiteral("mnuStatistics 記録(&S)")},
            {QStringLiteral("環境(&C)"),
             QStringLiteral("mnuStartupCopy Windows起動時に Zedu も起動(&S)"),
             QStringLiteral("mnuDisktopCopy ﾃﾞｽｸﾄｯﾌﾟに登録(D)"),
             QStringLiteral("mnuSpeed 動作速度優先(&R)"), QStringLiteral("mnuConfigSepa1 -"),
             QStringLiteral("mnuEncrypt 暗号化(&K)")},
            {QStringLiteral("ﾍﾙﾌﾟ(&H)"), QStringLiteral("mnuHelpCategory 目次(&C)"),
             QStringLiteral("mnuHelpSepa1 -"), QStringLiteral("mnuAbout ﾊﾞｰｼﾞｮﾝ情報(&A)")}};
        const QList<QAction*> bar = window()->menuBar()->actions();
        QCOMPARE(bar.size(), menus.size());
        for (int m = 0; m < menus.size(); ++m) {
            QCOMPARE(bar[m]->text(), menus[m][0]);
            QStringList items;
            for (QAction* a : bar[m]->menu()->actions())
                items << a->objectName() + QLatin1Char(' ') +
                             (a->isSeparator() ? QStringLiteral("-") : a->text());
            QCOMPARE(items, menus[m].mid(1));
        }
        const struct
        {
            const char* item;
            QKeySequence key;
        } shortcuts[] = {{"mnuCopy", QKeySequence(Qt::CTRL | Qt::Key_C)},
                         {"mnuFind", QKeySequence(Qt::CTRL | Qt::Key_F)},
                         {"mnuFindNext", QKeySequence(Qt::Key_F3)},
                         {"mnuFindPrev", QKeySequence(Qt::SHIFT | Qt::Key_F3)},
                         {"mnuOnThisDay", QKeySequence(Qt::CTRL | Qt::Key_T)}};
        for (const auto& [item, key] : shortcuts)
            QCOMPARE(menuItem(item)->shortcut(), key);
        QVERIFY(menuItem("mnuMarkEntries")->isCheckable());
    }

    void monthButtonsCrossTheYear()
    {
        start(202601, 202712);
        button(2)->click(); // ">" on December
        QCOMPARE(caption(), QStringLiteral("2027年1月"));
        QCOMPARE(window()->calendar()->CurDate(), 20270107);
        button(0)->click(); // "<" on January
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        button(0)->click();
        QCOMPARE(caption(), QStringLiteral("2026年11月"));
        QVERIFY(entryBox()->isVisible());
    }

    void todayOutsideTheRangeSaysWhatToDo()
    {
        start(202701, 202712);
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QVERIFY(!grid()->isVisible());
        QCOMPARE(statusText(), kOutOfRange);
    }

    void pastTheLastMonthThenJump()
    {
        start(202611, 202612);
        button(2)->click();
        QCOMPARE(caption(), QStringLiteral("2027年1月"));
        QVERIFY(!grid()->isVisible());
        QVERIFY(!entryBox()->isVisible());
        QCOMPARE(statusText(), kOutOfRange);

        child<QPushButton>("cmdJump")->click();
        auto* list = child<QListWidget>("lstJump");
        QVERIFY(list->isVisible());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("2026年11月"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("2026年12月"));
        QCOMPARE(list->currentRow(), 0);
        // The calendar moved to the first stored month as the list opened.
        QCOMPARE(caption(), QStringLiteral("2026年11月"));
        QVERIFY(grid()->isVisible());
        QVERIFY(entryBox()->isVisible());
        QCOMPARE(statusText(), QString());
    }

    void jumpListToAnotherYearRebuildsTwice()
    {
        start(202611, 202803);
        child<QPushButton>("cmdJump")->click();
        auto* list = child<QListWidget>("lstJump");
        QCOMPARE(list->count(), 17);
        QCOMPARE(list->item(list->currentRow())->text(), QStringLiteral("2026年12月"));
        QSignalSpy changes(window()->calendar(), &clsCalendar::Change);
        const QRect rect = list->visualItemRect(list->item(15)); // 2028年02月
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        QVERIFY(!list->isVisible());
        QCOMPARE(caption(), QStringLiteral("2028年2月"));
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes[0][1].toInt(), 20281207);
        QCOMPARE(changes[1][1].toInt(), 20280207);
        // Losing the focus hides the list.
        child<QPushButton>("cmdJump")->click();
        QVERIFY(list->isVisible());
        entryBox()->setFocus();
        QVERIFY(!list->isVisible());
    }

    void todayButtonSavesAndReloads()
    {
        start();
        typeEntry(QStringLiteral("今日"));
        QSignalSpy changes(window()->calendar(), &clsCalendar::Change);
        button(1)->click();
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].toInt(), changes[0][1].toInt());
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("今日"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("今日"));
        QVERIFY(!window()->plan()->Dirty);
    }

    void arrowKeysWalkTheDays()
    {
        start();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        grid()->setFocus();
        QTest::keyClick(grid(), Qt::Key_Right);
        QCOMPARE(window()->calendar()->CurDate(), 20261208);
        // The busy phases of the move hand the keyboard back to the grid.
        QCOMPARE(QApplication::focusWidget(), grid());
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(window()->calendar()->CurDate(), 20261215);
        QTest::keyClick(grid(), Qt::Key_Left);
        QCOMPARE(window()->calendar()->CurDate(), 20261214);
        QVERIFY(entryBox()->isVisible());
    }

    void arrowKeysCrossEmptyCells_data()
    {
        // December 2026: the 1st is a Tuesday, the 31st a Thursday in row 5.
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("keys");    // Right, Left, Down, Up
        QTest::addColumn<QList<int>>("days"); // after each key; 0 is an empty cell
        QTest::newRow("Right on the 31st and back") << 31 << QStringLiteral("RL") << QList{0, 31};
        QTest::newRow("Left of the 1st and back") << 1 << QStringLiteral("LR") << QList{0, 1};
        QTest::newRow("along empty cells to the 30th")
            << 31 << QStringLiteral("RDLLU") << QList{0, 0, 0, 0, 30};
    }
    void arrowKeysCrossEmptyCells()
    {
        QFETCH(int, from);
        QFETCH(QString, keys);
        QFETCH(QList<int>, days);
        const QHash<QChar, std::pair<Qt::Key, QPoint>> moves{{u'R', {Qt::Key_Right, {1, 0}}},
                                                             {u'L', {Qt::Key_Left, {-1, 0}}},
                                                             {u'D', {Qt::Key_Down, {0, 1}}},
                                                             {u'U', {Qt::Key_Up, {0, -1}}}};
        start();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        clickDay(from);
        QPoint cell = cellOf(from);
        for (int i = 0; i < keys.size(); ++i) {
            // The key goes where the user's keys go, and selects the cell
            // beside as a click on it would.
            QTest::keyClick(QApplication::focusWidget(), moves[keys[i]].first);
            cell += moves[keys[i]].second;
            QCOMPARE(QPoint(grid()->Col(), grid()->Row()), cell);
            QCOMPARE(curDate(), 20261200 + days[i]);
            QCOMPARE(entryBox()->isVisible(), days[i] != 0);
        }
    }

    void emptyCellIsDayZeroWithOneCurrentCell()
    {
        start();
        // December 2026 ends on a Thursday; the last row is empty.
        clickCell(3, 6);
        QCOMPARE(curDate(), 20261200);
        QVERIFY(!entryBox()->isVisible());
        // The cell clicked is current, and it alone is shown selected.
        QCOMPARE(QPoint(grid()->Col(), grid()->Row()), QPoint(3, 6));
        const QModelIndexList selected = grid()->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected[0], grid()->currentIndex());
        clickDay(7);
        QCOMPARE(curDate(), 20261207);
        QVERIFY(entryBox()->isVisible());
    }

    void rightClickPopsUpTheEditMenu()
    {
        start();
        auto* menu = window()->findChild<QMenu*>(QStringLiteral("mnuEdit"));
        QVERIFY(menu);
        const QPoint current(grid()->Col(), grid()->Row());
        // On the days and on the weekday row alike; the current cell stays.
        for (QWidget* target : {grid()->viewport(), grid()->horizontalHeader()->viewport()}) {
            const QPoint at = target->rect().center();
            QTest::mousePress(target, Qt::RightButton, Qt::NoModifier, at);
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(menu->pos(), target->mapToGlobal(at));
            QCOMPARE(QPoint(grid()->Col(), grid()->Row()), current);
            menu->close();
        }
    }

    void closingSavesEntryAndPlacement()
    {
        start();
        window()->move(TwipsToPixelsX(1500), TwipsToPixelsY(900));
        window()->resize(TwipsToPixelsX(9000), TwipsToPixelsY(6000));
        const QRect outer = window()->frameGeometry();
        typeEntry(QStringLiteral("閉じる前"));
        window()->close();
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("閉じる前"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QString()), QStringLiteral("0"));
        // The outer bounds, in twips.
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QString()).toDouble(),
                 PixelsToTwipsX(outer.left()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Top"), QString()).toDouble(),
                 PixelsToTwipsY(outer.top()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Width"), QString()).toDouble(),
                 PixelsToTwipsX(outer.width()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Height"), QString()).toDouble(),
                 PixelsToTwipsY(outer.height()));
        QVERIFY(!gDatabase.isOpen());
        stop();

        // The next start opens where the last one ended.
        start();
        QCOMPARE(window()->frameGeometry(), outer);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("閉じる前"));
        window()->showMaximized();
        QTRY_VERIFY(window()->isMaximized());
        stop();
        QCOMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QString()), QStringLiteral("2"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Width"), QString()).toDouble(),
                 PixelsToTwipsX(outer.width()));
        start();
        QVERIFY(window()->isMaximized());
        window()->showNormal();
        QTRY_COMPARE(window()->frameGeometry(), outer);
    }

    void minimizedKeepsTheNormalBounds()
    {
        start();
        window()->resize(TwipsToPixelsX(8000), TwipsToPixelsY(5000));
        const QString width = RegRead(kRegKey, QStringLiteral("Width"), QString());
        window()->showMinimized();
        QTRY_COMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QString()),
                     QStringLiteral("1"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Width"), QString()), width);
        stop();
        start();
        QVERIFY(window()->isMinimized());
    }

    void firstStartUsesTheDefaultPlacement()
    {
        start();
        QCOMPARE(window()->pos(), QPoint(0, 0));
        QCOMPARE(window()->frameGeometry().size(),
                 QSize(TwipsToPixelsX(6000), TwipsToPixelsY(3500)));
        QVERIFY(window()->findChild<QAction*>(QStringLiteral("mnuSpeed"))->isChecked());
        QVERIFY(window()->findChild<QAction*>(QStringLiteral("mnuDispMode_0"))->isChecked());
        QVERIFY(!window()->findChild<QAction*>(QStringLiteral("mnuStartupCopy"))->isChecked());
    }

    void shortcutInTheStartupFolderIsChecked()
    {
        const QString startup = ShellFolder(QStringLiteral("Startup"));
        QVERIFY(startup.startsWith(qEnvironmentVariable("ZEDU_TEST_SCRATCH")));
        QVERIFY(QDir().mkpath(startup));
        QFile shortcut(startup + QLatin1Char('/') + kShortcutName);
        QVERIFY(shortcut.open(QIODevice::WriteOnly));
        shortcut.close();
        start();
        QVERIFY(window()->findChild<QAction*>(QStringLiteral("mnuStartupCopy"))->isChecked());
        QVERIFY(!window()->findChild<QAction*>(QStringLiteral("mnuDisktopCopy"))->isChecked());
        QVERIFY(shortcut.remove());
    }

    void emptyCalendarIsAFirstRunCutOff()
    {
        // What a first run killed before its fill leaves: the start asks the
        // first run's questions again (a Yes fills it, tst_Faults); a No
        // leaves the file as it is.
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 202612));
        QVERIFY(SqlPeek(dataPath()).exec(QStringLiteral("DELETE FROM Master")));
        const QByteArray before = FileDigest(dataPath());
        boxes->yes();
        boxes->no();
        boxes->ok();
        QCOMPARE(Main(), std::optional<int>(kStartupEnded));
        QVERIFY(!window());
        QVERIFY(boxes->boxes[0].text.startsWith(QStringLiteral("暦ファイルを作成します。")));
        QCOMPARE(FileDigest(dataPath()), before);
    }

    void windowSnapsBackToItsMinimumSize()
    {
        start();
        window()->resize(100, 80);
        QTRY_COMPARE(window()->frameGeometry().size(),
                     QSize(TwipsToPixelsX(6000), TwipsToPixelsY(3500)));
        const int frameWidth = window()->frameGeometry().width() - window()->width();
        window()->resize(TwipsToPixelsX(7000), 80);
        QTRY_COMPARE(window()->frameGeometry().size(),
                     QSize(TwipsToPixelsX(7000) + frameWidth, TwipsToPixelsY(3500)));
    }

    void controlsEndAtTheStatusBar()
    {
        start();
        window()->resize(TwipsToPixelsX(9000), TwipsToPixelsY(7000));
        QWidget* client = window()->centralWidget();
        QTRY_COMPARE(grid()->geometry().bottom(), client->height() - 1);
        QCOMPARE(entryBox()->geometry().bottom(), client->height() - 1);
        QCOMPARE(entryBox()->geometry().right(), client->width() - 1);
        auto* list = child<FlexGrid>("greList");
        QCOMPARE(list->geometry(), QRect(0, 0, client->width(), client->height()));
        QVERIFY(!list->isVisible());
        QCOMPARE(client->geometry().bottom() + 1, window()->statusBar()->geometry().top());
    }

    void statusBarKeyPanels()
    {
        start();
        QStringList panels;
        for (QLabel* label :
             window()->statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            panels << label->objectName();
        QCOMPARE(panels, QStringList({QStringLiteral("stbPanel1"), QStringLiteral("stbDate"),
                                      QStringLiteral("stbTime"), QStringLiteral("stbCaps"),
                                      QStringLiteral("stbNum"), QStringLiteral("stbIns"),
                                      QStringLiteral("stbScrl"), QStringLiteral("stbKana")}));
        // Left to right as created, after the date and the time.
        QVERIFY(child<QLabel>("stbTime")->x() < child<QLabel>("stbCaps")->x());
        QVERIFY(child<QLabel>("stbScrl")->x() < child<QLabel>("stbKana")->x());
        QCOMPARE(child<QLabel>("stbCaps")->text(), QStringLiteral("CAPS"));
        QCOMPARE(child<QLabel>("stbNum")->text(), QStringLiteral("NUM"));
        QCOMPARE(child<QLabel>("stbIns")->text(), QStringLiteral("INS"));
        QCOMPARE(child<QLabel>("stbScrl")->text(), QStringLiteral("SCRL"));
        QCOMPARE(child<QLabel>("stbKana")->text(), QStringLiteral("ｶﾅ"));
        // Offscreen there are no keyboard indicators: every lock shows off.
        QVERIFY(!child<QLabel>("stbCaps")->isEnabled());

        // Insert switches the entry box to overwriting, and back.
        typeEntry(QStringLiteral("abcd"));
        QTest::keyClick(entryBox(), Qt::Key_Home);
        QTest::keyClick(entryBox(), Qt::Key_Insert);
        QVERIFY(child<QLabel>("stbIns")->isEnabled());
        QTest::keyClicks(entryBox(), QStringLiteral("XY"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("XYcd"));
        QTest::keyClick(entryBox(), Qt::Key_Insert);
        QVERIFY(!child<QLabel>("stbIns")->isEnabled());
        QTest::keyClicks(entryBox(), QStringLiteral("Z"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("XYZcd"));
    }

    void tabWalksTheControlsAndCtrlTabTypesATab()
    {
        start();
        entryBox()->setFocus();
        QTest::keyClick(entryBox(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), grid());
        QTest::keyClick(grid(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), entryBox());
        QTest::keyClick(entryBox(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("\t"));
        QCOMPARE(QApplication::focusWidget(), entryBox());
    }

    void jumpListGoesOnEscapeOrAnotherControl()
    {
        start(202611, 202703);
        auto* list = child<QListWidget>("lstJump");
        child<QPushButton>("cmdJump")->click();
        QVERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!list->isVisible());
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QCOMPARE(curDate(), 20261207);

        // A menu opening over it, or another window taking the keyboard for
        // a moment, leaves it open.
        child<QPushButton>("cmdJump")->click();
        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
        QCoreApplication::sendEvent(list, &popup);
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(list, &away);
        QVERIFY(list->isVisible());
        entryBox()->setFocus(Qt::MouseFocusReason);
        QVERIFY(!list->isVisible());
    }

    void placementIsWrittenByLayoutPassesOnly()
    {
        start();
        const QString settings =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/voradu/zedu.conf");
        const QByteArray before = FileDigest(settings);
        QVERIFY(!before.isEmpty());
        window()->move(window()->pos() + QPoint(45, 30));
        QCoreApplication::processEvents();
        QCOMPARE(FileDigest(settings), before);
        const QRect outer = window()->frameGeometry();
        stop();
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QString()),
                 RegNumberText(PixelsToTwipsX(outer.left())));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Top"), QString()),
                 RegNumberText(PixelsToTwipsY(outer.top())));
        // Plain decimal text, never an exponent.
        QVERIFY(!RegRead(kRegKey, QStringLiteral("Width"), QString()).contains(QLatin1Char('e')));
    }

    void theWindowManagerKnowsTheMinimumSize()
    {
        start();
        const QSize frame = window()->frameGeometry().size() - window()->size();
        QCOMPARE(window()->minimumSize() + frame,
                 QSize(TwipsToPixelsX(6000), TwipsToPixelsY(3500)));
    }

    void noBreakSpacesAreKept()
    {
        start();
        typeEntry(QStringLiteral("10:00\u00A0会議 室"));
        clickDay(8);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("10:00\u00A0会議 室"));
        clickDay(7);
        entryBox()->moveCursor(QTextCursor::End);
        typeEntry(QStringLiteral("\n次"));
        clickDay(8);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("10:00\u00A0会議 室\r\n次"));
    }

    void runningHoldsOffInputWithoutGreying()
    {
        start();
        QSignalSpy clicks(button(2), &QPushButton::clicked);
        window()->Running(QStringLiteral("処理中です。"));
        QVERIFY(window()->isBusy());
        QCOMPARE(statusText(), QStringLiteral("処理中です。"));
        QCOMPARE(BusyCount(), 1);
        // Nothing is greyed, yet clicks, keys and shortcuts do not arrive.
        QVERIFY(button(2)->isEnabled());
        QVERIFY(grid()->isEnabled());
        QTest::mouseClick(button(2), Qt::LeftButton);
        QTest::keyClick(button(2), Qt::Key_Space);
        clickDay(9);
        entryBox()->setFocus();
        QTest::keyClicks(entryBox(), QStringLiteral("abc"));
        QTest::keyClick(entryBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clicks.size(), 0);
        QCOMPARE(curDate(), 20261207);
        QCOMPARE(entryBox()->toPlainText(), QString());

        // A phase inside it shows its text; its end brings the outer one's
        // back, and the window stays busy.
        window()->Running(QStringLiteral("内側です。"));
        QCOMPARE(statusText(), QStringLiteral("内側です。"));
        window()->Running(QString());
        QCOMPARE(statusText(), QStringLiteral("処理中です。"));
        QVERIFY(window()->isBusy());

        window()->Running(QString());
        QVERIFY(!window()->isBusy());
        QCOMPARE(statusText(), QString());
        QCOMPARE(BusyCount(), 0);
        QTest::mouseClick(button(2), Qt::LeftButton);
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(caption(), QStringLiteral("2027年1月"));
    }

    void closingWhileBusyWaitsForTheEnd()
    {
        start();
        typeEntry(QStringLiteral("閉じる"));
        window()->Running(QStringLiteral("処理中です。"));
        window()->close();
        QVERIFY(!window()->isUnloaded());
        window()->Running(QString());
        QTRY_VERIFY(window()->isUnloaded());
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("閉じる"));
    }

    void storeErrorInACommandLeavesTheWindowUsable()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        start();
        QVERIFY(QFile::rename(dataPath(), dataPath() + QStringLiteral(".away")));
        boxes->ok();
        button(2)->click();
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Warning);
        QVERIFY(boxes->boxes[0].text.startsWith(StoreErrorText(QString()) +
                                                QStringLiteral("暦ファイルが見つかりません。\r")));
        QVERIFY(window()->isEnabled());
        QCOMPARE(BusyCount(), 0);
        QCOMPARE(statusText(), QString());
        QVERIFY(grid()->Redraw());
        // A vanished calendar is never recreated.
        QVERIFY(!QFile::exists(dataPath()));
        QVERIFY(QFile::rename(dataPath() + QStringLiteral(".away"), dataPath()));
        button(0)->click();
        button(1)->click();
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QVERIFY(grid()->isVisible());
    }

    void typedTextSurvivesAFailedSave()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        start();
        typeEntry(QStringLiteral("消えない"));
        QVERIFY(QFile::rename(dataPath(), dataPath() + QStringLiteral(".away")));
        boxes->ok();
        clickDay(8);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("消えない"));
        QVERIFY(window()->plan()->Dirty);
        QVERIFY(QFile::rename(dataPath() + QStringLiteral(".away"), dataPath()));
        clickDay(9);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("消えない"));
    }

    void aboutBoxIsOneBoxBroughtToTheFront()
    {
        start();
        QAction* about = window()->findChild<QAction*>(QStringLiteral("mnuAbout"));
        about->trigger();
        about->trigger();
        QVERIFY(AboutBoxLoaded());
        frmAbout* box = AboutBox();
        const QWidgetList tops = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(tops.begin(), tops.end(),
                               [](QWidget* w) { return qobject_cast<frmAbout*>(w) != nullptr; }),
                 1);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
        QVERIFY(box->cmdClose->isVisible());
        QCOMPARE(frmAbout::Lines().value(1), QStringLiteral("Version 1.0.0"));
        QVERIFY(window()->isEnabled());
        box->cmdClose->click();
        QTRY_VERIFY(!AboutBoxLoaded());
    }

    void calendarLockedAtStartIsWaitedFor()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        const QByteArray before = FileDigest(dataPath());
        RetryTimer::setIntervalForTesting(200);
        {
            SqlPeek other(dataPath());
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            boxes->ok();
            start();
            QCOMPARE(boxes->boxes.size(), 1);
            QVERIFY(boxes->boxes[0].text.startsWith(
                StoreErrorText(QString()) +
                QStringLiteral("暦ファイルが他のプログラムで使用中です。\r")));
            QVERIFY(!entryBox()->isVisible());
            QCOMPARE(statusText(), QStringLiteral("暦ファイルの解放を待っています。"));
            // Keys go nowhere that could hold them.
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != entryBox());
            if (focus)
                QTest::keyClicks(focus, QStringLiteral("abc"));
            QCOMPARE(entryBox()->toPlainText(), QString());
            QTest::qWait(600);
            QCOMPARE(FileDigest(dataPath()), before);
        }
        // Free again: the month comes without another word.
        QTRY_VERIFY(entryBox()->isVisible());
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QCOMPARE(grid()->Text(), QStringLiteral("7"));
        QCOMPARE(statusText(), QString());
        QCOMPARE(boxes->boxes.size(), 1);
        // The start's copy of the day, made once the file could be read.
        QCOMPARE(ListBackups().size(), 1);
        RetryTimer::setIntervalForTesting(0);
    }

    void failedSaveAtADayChangeKeepsTheEntrysDay_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("nextMonth");
        QTest::newRow("another day, writes locked") << QStringLiteral("BEGIN IMMEDIATE") << false;
        QTest::newRow("another month, writes locked") << QStringLiteral("BEGIN IMMEDIATE") << true;
        QTest::newRow("another month, file locked") << QStringLiteral("BEGIN EXCLUSIVE") << true;
    }
    void failedSaveAtADayChangeKeepsTheEntrysDay()
    {
        QFETCH(QString, lock);
        QFETCH(bool, nextMonth);
        RetryTimer::setIntervalForTesting(200);
        start();
        auto stored = [this](int day) {
            return ReadDayField(dataPath(), day, QStringLiteral("内容")).toString();
        };
        typeEntry(QStringLiteral("七日に"));
        {
            SqlPeek other(dataPath());
            QVERIFY(other.exec(lock));
            boxes->ok();
            if (nextMonth)
                button(2)->click();
            else
                clickDay(8);
            QCOMPARE(boxes->boxes.size(), 1);
            QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Warning);
            // Back on the day whose entry the box holds.
            QCOMPARE(curDate(), 20261207);
            QCOMPARE(caption(), QStringLiteral("2026年12月"));
            QCOMPARE(grid()->Text(), QStringLiteral("7"));
            QCOMPARE(entryBox()->toPlainText(), QStringLiteral("七日に"));
            QTRY_COMPARE(statusText(), QStringLiteral("未保存"));
        }
        // What is typed next is the same day's, and all of it is written
        // once the file is free.
        typeEntry(QStringLiteral("続き"));
        QTRY_COMPARE_WITH_TIMEOUT(stored(20261207), QStringLiteral("七日に続き"), 5000);
        QCOMPARE(stored(20261208), QString());
        QCOMPARE(stored(20270107), QString());
        QCOMPARE(statusText(), QString());
        QCOMPARE(boxes->boxes.size(), 1);
        RetryTimer::setIntervalForTesting(0);
    }

    void typingIsSavedQuietlyWhenNothingElseIsGoingOn()
    {
        start();
        auto stored = [this] {
            return ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString();
        };
        typeEntry(QStringLiteral("abc"));
        QCOMPARE(stored(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(stored(), QStringLiteral("abc"), 5000);
        QVERIFY(!window()->plan()->Dirty);
        QCOMPARE(statusText(), QString());
        QCOMPARE(BusyCount(), 0);

        // Not while text is being converted.
        QInputMethodEvent composing(QStringLiteral("へんかん"), {});
        QCoreApplication::sendEvent(entryBox(), &composing);
        QTest::qWait(3000);
        QCOMPARE(stored(), QStringLiteral("abc"));
        QInputMethodEvent converted;
        converted.setCommitString(QStringLiteral("変換"));
        QCoreApplication::sendEvent(entryBox(), &converted);
        QTRY_COMPARE_WITH_TIMEOUT(stored(), QStringLiteral("abc変換"), 5000);

        // Not while a box waits for the user.
        QDialog modal(window());
        modal.setModal(true);
        modal.show();
        entryBox()->insertPlainText(QStringLiteral("1"));
        QTest::qWait(3000);
        QCOMPARE(stored(), QStringLiteral("abc変換"));
        modal.hide();
        QTRY_COMPARE_WITH_TIMEOUT(stored(), QStringLiteral("abc変換1"), 5000);
    }

    void typingSaveLeavesACompositionAlone()
    {
        start();
        window()->setTypingSaveLimit(300);
        auto stored = [this] {
            return ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString();
        };
        // Saved (soon: the limit of typing that goes on) while text is being
        // composed: the composition, where it is, and the cursor stay as
        // they were; the text saved is what is committed.
        typeEntry(QStringLiteral("abxyz"));
        QTextCursor cursor = entryBox()->textCursor();
        cursor.setPosition(2);
        entryBox()->setTextCursor(cursor);
        QInputMethodEvent composing(
            QStringLiteral("へんかん"),
            {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 3, 1)});
        QCoreApplication::sendEvent(entryBox(), &composing);
        QTRY_COMPARE(stored(), QStringLiteral("abxyz"));
        QVERIFY(window()->plan()->IsComposing());
        const QTextLayout* layout = entryBox()->textCursor().block().layout();
        QCOMPARE(layout->preeditAreaText(), QStringLiteral("へんかん"));
        QCOMPARE(layout->preeditAreaPosition(), 2);
        QCOMPARE(entryBox()->textCursor().position(), 2);

        QInputMethodEvent converted;
        converted.setCommitString(QStringLiteral("変換"));
        QCoreApplication::sendEvent(entryBox(), &converted);
        QTRY_COMPARE(stored(), QStringLiteral("ab変換xyz"));
    }

    void compositionAtADayChangeIsSaved()
    {
        start();
        typeEntry(QStringLiteral("予定"));
        QInputMethodEvent composing(QStringLiteral("へんかん"), {});
        QCoreApplication::sendEvent(entryBox(), &composing);
        clickDay(8);
        QCOMPARE(curDate(), 20261208);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("予定へんかん"));
        QCOMPARE(entryBox()->toPlainText(), QString());
    }

    void closingWithAnUnsavedEntryDefaultsToNo()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        start();
        typeEntry(QStringLiteral("まだ"));
        QVERIFY(QFile::rename(dataPath(), dataPath() + QStringLiteral(".away")));
        boxes->no();
        window()->close();
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Question);
        QCOMPARE(boxes->boxes[0].defaultButton, Dialogs::No);
        // The cause in Japanese, the file, and the engine's English only in
        // parentheses after them.
        const QStringList lines = boxes->boxes[0].text.split(QLatin1Char('\r'));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.mid(0, 3), (QStringList{StoreErrorText(QString()).chopped(1),
                                               QStringLiteral("暦ファイルが見つかりません。"),
                                               QDir::toNativeSeparators(dataPath())}));
        QVERIFY2(QRegularExpression(QStringLiteral("^（[ -~]+）$")).match(lines[3]).hasMatch(),
                 qPrintable(lines[3]));
        QCOMPARE(lines[4], QStringLiteral("入力した予定は保存されていません。終了しますか？"));
        QVERIFY(!window()->isUnloaded());
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("まだ"));
        QVERIFY(QFile::rename(dataPath() + QStringLiteral(".away"), dataPath()));
    }

    void impossiblePlacementIsCorrected_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("99999999") << QStringLiteral("99999999");
        QTest::newRow("-5") << QStringLiteral("-5");
    }
    void impossiblePlacementIsCorrected()
    {
        QFETCH(QString, value);
        for (const char* name : {"Left", "Top", "Width", "Height"})
            QVERIFY(RegWrite(kRegKey, QLatin1String(name), value));
        start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect outer = window()->frameGeometry();
        QVERIFY2(screen.intersects(outer), "the window is off the screen");
        QVERIFY(outer.width() <= screen.width() && outer.height() <= screen.height());
        stop();
        // What is written back is what the window had.
        const auto twips = [](const char* name) {
            return RegRead(kRegKey, QLatin1String(name), QString()).toDouble();
        };
        QCOMPARE(twips("Left"), PixelsToTwipsX(outer.left()));
        QCOMPARE(twips("Top"), PixelsToTwipsY(outer.top()));
        QCOMPARE(twips("Width"), PixelsToTwipsX(outer.width()));
        QCOMPARE(twips("Height"), PixelsToTwipsY(outer.height()));
    }

    void theHighlightedDayIsTheDayWrittenIn_data()
    {
        // In turn: a day clicked, a month button, J, or a key.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("date");
        QTest::newRow("next month") << "24 >" << 20270124;
        QTest::newRow("jump list, by keys") << "24 J Down Return" << 20270124;
        QTest::newRow("today button") << "24 > @" << 20261207;
        QTest::newRow("31st into February") << "31 > >" << 20270231;
        QTest::newRow("and back") << "31 > > <" << 20270131;
    }
    void theHighlightedDayIsTheDayWrittenIn()
    {
        QFETCH(QString, steps);
        QFETCH(int, date);
        start(202601, 202712);
        QVERIFY(QTest::qWaitForWindowActive(window()));
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step.size() > 2)
                QTest::keyClick(QApplication::focusWidget(),
                                step == QLatin1String("Down") ? Qt::Key_Down : Qt::Key_Return);
            else if (step == QLatin1String("J"))
                child<QPushButton>("cmdJump")->click();
            else if (step.size() == 1)
                button(int(QStringLiteral("<@>").indexOf(step)))->click();
            else
                clickDay(step.toInt());
        }
        QCOMPARE(curDate(), date);
        // The selected cell shows the day; a day the month lacks hides the box.
        const bool stored = date % 100 <= QDate(date / 10000, date / 100 % 100, 1).daysInMonth();
        QCOMPARE(grid()->Text(), stored ? QString::number(date % 100) : QString());
        QCOMPARE(entryBox()->isVisible(), stored);
        if (!stored)
            return;
        typeEntry(QStringLiteral("書いた日"));
        clickDay(1);
        QCOMPARE(SqlPeek(dataPath())
                     .one(QStringLiteral("SELECT group_concat(日付 || 内容) FROM Master "
                                         "WHERE 内容 <> ''"))
                     .toString(),
                 QStringLiteral("%1書いた日").arg(date));
    }

    void realBoxesShowEveryLineAndFitTheScreen()
    {
        start();
        Dialogs::setProvider(nullptr);
        const auto scripted = qScopeGuard([this] { Dialogs::setProvider(boxes.get()); });
        const int screen = std::min(1024, window()->screen()->availableGeometry().width());
        int checked = 0;
        // Reads a box's label, answers it, then checks that each of its
        // lines has a row of its own and that the box fits the screen.
        auto box = [&](const char16_t* press, int lines) {
            return [&, press, lines](QWidget* w) {
                const auto* label = w->findChild<QLabel*>(
                    qobject_cast<QMessageBox*>(w) ? QStringLiteral("qt_msgbox_label") : QString());
                const QString text = label->text();
                const int rows = label->height() / label->fontMetrics().lineSpacing();
                const int width = w->frameGeometry().width();
                ButtonWithText(w, QString::fromUtf16(press))->click();
                ++checked;
                QCOMPARE(text.split(QLatin1Char('\n')).size(), lines);
                QVERIFY(!text.contains(QLatin1Char('\r')) && rows >= lines && width <= screen);
            };
        };
        // The range's two input boxes and three-line question, the yearly
        // event's input box.
        AnswerModalBoxes({box(u"OK", 4), box(u"OK", 4), box(u"いいえ", 3), box(u"キャンセル", 3)});
        trigger("mnuDateRange");
        trigger("mnuPlanAll");
        QCOMPARE(checked, 4);
    }

    void inputQueuedDuringACommandRunsAfterIt()
    {
        start();
        bool ended = false;
        QList<bool> clickedAfterTheEnd;
        connect(button(2), &QPushButton::clicked, this, [&] { clickedAfterTheEnd << ended; });
        // A click queued as the window system queues one, during the busy
        // phase of a command whose store call is followed by a redraw.
        QTimer::singleShot(0, this, [this] {
            const QPoint center = button(2)->rect().center();
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QWindowSystemInterface::handleMouseEvent<
                    QWindowSystemInterface::AsynchronousDelivery>(
                    window()->windowHandle(), button(2)->mapTo(window(), center),
                    button(2)->mapToGlobal(center),
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::LeftButton, type);
        });
        trigger("mnuChange");
        ended = true;
        QTRY_COMPARE(clickedAfterTheEnd, QList<bool>{true});
        QCOMPARE(caption(), QStringLiteral("2027年1月"));
    }

    void firstStartOfTheDayMakesABackup()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("朝の状態")));
        start();
        stop();
        start();
        QCOMPARE(ListBackups().size(), 1);
        QVERIFY(ListBackups()[0].startsWith(QStringLiteral("Data-20261207-")));
        QCOMPARE(ReadDayField(BackupFolder() + QLatin1Char('/') + ListBackups()[0], 20261207,
                              QStringLiteral("内容"))
                     .toString(),
                 QStringLiteral("朝の状態"));
    }
};

ZEDU_TEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
