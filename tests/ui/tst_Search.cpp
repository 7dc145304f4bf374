#include "platform/Running.h"
#include "store/Engine.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/HitTextDelegate.h"
#include "ui/PlaceBeside.h"
#include "ui/RetryTimer.h"
#include "ui/frmSearch.h"
#include "view/FlexGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTreeView>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace {

// Counts the times a window is raised.
class RaiseCounter : public QObject
{
public:
    explicit RaiseCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::ZOrderChange;
        return false;
    }
};

} // namespace

class tst_Search : public MainWindowHarness
{
    Q_OBJECT

    frmSearch* searchWindow() const { return window()->searchWindow(); }
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

    QRect entryOnScreen() const
    {
        return QRect(entryBox()->mapToGlobal(QPoint(0, 0)), entryBox()->size());
    }
    // Moves a window as the user's drag does: the window system reports it.
    static void drag(QWidget* w, const QPoint& to)
    {
        QWindowSystemInterface::handleGeometryChange<QWindowSystemInterface::SynchronousDelivery>(
            w->windowHandle(), QRect(to + (w->geometry().topLeft() - w->pos()), w->size()));
        QCOMPARE(w->pos(), to);
    }
    // The status panel's text can be read whole where it is.
    void verifyStatusWhole()
    {
        const QLabel* panel = child<QLabel>("stbPanel1");
        QVERIFY2(panel->contentsRect().width() >=
                     panel->fontMetrics().horizontalAdvance(panel->text()),
                 qPrintable(panel->text()));
    }

private slots:
    void placesBesideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QRect>("keep");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("placed");
        // The window test shows "below"; the screen is 1920 × 1040.
        QTest::newRow("right of it") << QRect(100, 80, 420, 240) << QRect(300, 100, 200, 200)
                                     << QSize(500, 300) << QRect(520, 80, 500, 300);
        QTest::newRow("left of it, level with it as the screen allows")
            << QRect(1300, 900, 420, 240) << QRect(1500, 950, 100, 100) << QSize(500, 300)
            << QRect(800, 740, 500, 300);
        QTest::newRow("above, as far left as the screen needs")
            << QRect(600, 700, 420, 300) << QRect(700, 750, 100, 100) << QSize(1400, 600)
            << QRect(520, 100, 1400, 600);
        QTest::newRow("owner fills the screen: beside its entry box")
            << QRect(0, 0, 1920, 1040) << QRect(220, 40, 1700, 980) << QSize(520, 360)
            << QRect(0, 40, 220, 360);
        QTest::newRow("owner fills the screen: below its entry box")
            << QRect(0, 0, 1920, 1040) << QRect(0, 40, 1920, 500) << QSize(520, 360)
            << QRect(0, 540, 520, 360);
    }
    void placesBesideTheMainWindow()
    {
        QFETCH(QRect, owner);
        QFETCH(QRect, keep);
        QFETCH(QSize, size);
        QFETCH(QRect, placed);
        const QRect screen(0, 0, 1920, 1040);
        const QRect at = PlaceBeside(owner, keep, screen, size);
        QCOMPARE(at, placed);
        QVERIFY(screen.contains(at));
        QVERIFY(!at.intersects(keep));
    }

    void searchWindowLeavesTheEntryInSight()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261215, QStringLiteral("東京タワー")));
        start();
        RaiseCounter raised(window());
        trigger("mnuFind");
        QTRY_VERIFY(findField()->hasFocus());
        QVERIFY(!searchWindow()->frameGeometry().intersects(entryOnScreen()));
        QVERIFY(window()->screen()->availableGeometry().contains(searchWindow()->frameGeometry()));
        // Not held above the main window by the window system.
        QVERIFY(!searchWindow()->windowHandle()->transientParent());

        // Return opens the day with the main window in front: what is typed
        // next goes where the user sees it.
        typeInto(findField(), QStringLiteral("タワー"));
        QTRY_COMPARE(count(), QStringLiteral("1日・1件"));
        QTest::keyClick(findField(), Qt::Key_Return);
        QCOMPARE(curDate(), 20261215);
        QTRY_COMPARE(QApplication::activeWindow(), window());
        QVERIFY(raised.count > 0);
        QTRY_VERIFY(entryBox()->hasFocus());

        // Until the user moves it, it opens beside the main window wherever
        // that is.
        QTest::keyClick(searchWindow(), Qt::Key_Escape);
        window()->move(window()->pos() + QPoint(40, 30));
        trigger("mnuFind");
        QVERIFY(!searchWindow()->frameGeometry().intersects(entryOnScreen()));

        // Once moved, it stays where the user put it: when it opens again,
        // and in the next run.
        const QPoint put(5, 300);
        drag(searchWindow(), put);
        QTest::keyClick(searchWindow(), Qt::Key_Escape);
        trigger("mnuFind");
        QCOMPARE(searchWindow()->pos(), put);
        stop();
        start();
        trigger("mnuFind");
        QCOMPARE(searchWindow()->pos(), put);
    }

    void aLongLineShowsItsHit()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207,
                              QString(200, u'あ') + QStringLiteral("東京") + QString(100, u'い')));
        start();
        trigger("mnuFind");
        typeInto(findField(), QStringLiteral("東京"));
        QTRY_COMPARE(count(), QStringLiteral("1日・1件"));
        // The hit's colour is drawn inside the line column, as wide as it is.
        const QRect cell = found()->visualRect(found()->model()->index(0, 2));
        const QImage drawn =
            found()->viewport()->grab(cell.intersected(found()->viewport()->rect())).toImage();
        const QColor hit = HitFormat().background().color();
        bool seen = false;
        for (int x = 0; x < drawn.width() && !seen; ++x)
            seen = drawn.pixelColor(x, drawn.height() / 2) == hit;
        QVERIFY(seen);
    }

    void aLockedCalendarNeverHoldsUpTheTyping()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261215, QStringLiteral("東京タワー")));
        RetryTimer::setIntervalForTesting(200);
        const int wait = Database::busyWait();
        const auto restore = qScopeGuard([wait] {
            Database::setBusyWait(wait);
            RetryTimer::setIntervalForTesting(0);
        });
        start();
        // A store that waits a minute for a locked file: a search that waited
        // too would hold the window that long.
        Database::setBusyWait(60000);
        QLabel* message = searchWindow()->findChild<QLabel*>(QStringLiteral("lblMessage"));
        {
            SqlPeek other(dataPath());
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QElapsedTimer typing;
            typing.start();
            trigger("mnuFind");
            // Made narrow by the user: the message needs more than one line.
            searchWindow()->resize(300, 300);
            const int width = searchWindow()->width();
            typeInto(findField(), QStringLiteral("東京"));
            QTRY_VERIFY(message->isVisible());
            QVERIFY(typing.elapsed() < 30000);
            QCOMPARE(message->text(),
                     QStringLiteral("暦ファイルを読めませんでした。") +
                         EngineError(dataPath(), QString(), EngineError::Cause::InUse).causeText());
            // Wrapped inside the window, which keeps its width: the label is
            // as tall as the lines the text needs at its width.
            QCOMPARE(searchWindow()->width(), width);
            const QRect room = message->contentsRect();
            QVERIFY(room.width() < width);
            QVERIFY(room.height() >= message->fontMetrics()
                                         .boundingRect(QRect(0, 0, room.width(), 10000),
                                                       Qt::TextWordWrap, message->text())
                                         .height());
        }
        // Free again: the results come without another key.
        QTRY_COMPARE(count(), QStringLiteral("1日・1件"));
        QVERIFY(!message->isVisible());
    }

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
            // Whole in a window of the default width.
            verifyStatusWhole();
            verifyAtFirstHit(step.at);
            // Opened from the search: highlighted with the window closed.
            QCOMPARE(highlighted(), QStringLiteral("東京@%1").arg(step.at));
        }
        // Another day reached otherwise shows no highlight.
        button(2)->click();
        clickDay(15);
        QCOMPARE(curDate(), 20261215);
        QTRY_COMPARE(highlighted(), QString());

        // Nothing found; then the panels that gave way come back.
        trigger("mnuFind");
        findField()->setText(QStringLiteral("大阪"));
        QTest::keyClick(findField(), Qt::Key_F3);
        QCOMPARE(statusText(), QStringLiteral("見つかりませんでした。"));
        verifyStatusWhole();
        clickDay(16);
        QCOMPARE(statusText(), QString());
        for (const char* panel : {"stbDate", "stbTime", "stbCaps", "stbKana"})
            QVERIFY2(child<QLabel>(panel)->isVisible(), panel);
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
