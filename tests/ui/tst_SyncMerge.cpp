#include "entries/RecoveryFile.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/frmMergedDays.h"

#include <QDateTime>
#include <QFile>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <cstdio>

namespace {

const QString kDivider =
    QStringLiteral("――― 別のコンピューターで書かれた内容（2026/12/08 10:15）―――");

QString broughtBack(int days)
{
    return QStringLiteral(
               "別の場所から来た暦に、このコンピューターで書いた %1 日分を書き戻しました。")
        .arg(days);
}

} // namespace

// The main window when a sync program renames the other computer's copy of
// the calendar over the one in use.
class tst_SyncMerge : public MainWindowHarness
{
    Q_OBJECT

    QString entry(int key) const
    {
        return ReadDayField(dataPath(), key, QStringLiteral("内容")).toString();
    }

    // The other computer's copy, written at 2026/12/08 10:15, renamed over
    // the calendar as a sync program does.
    bool bringOver(const QString& copy) const
    {
        QFile file(copy);
        if (!file.open(QIODevice::ReadWrite) ||
            !file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15)),
                              QFileDevice::FileModificationTime))
            return false;
        file.close();
        return std::rename(QFile::encodeName(copy).constData(),
                           QFile::encodeName(dataPath()).constData()) == 0;
    }

    void typeAtEnd(const QString& text)
    {
        entryBox()->moveCursor(QTextCursor::End);
        typeEntry(text);
    }

private slots:
    // A copy older than what was saved: the days written since come back,
    // the day being typed keeps its text, and the other side's own change
    // stays.
    void staleCopyUndoesNothing_data() { AddSpeedPriorityRows(); }
    void staleCopyUndoesNothing()
    {
        QFETCH(bool, speed);
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"),
                         speed ? QStringLiteral("True") : QStringLiteral("False")));
        start();
        window()->setQuietSaveDelay(50);
        const QString stale = folder->filePath(QStringLiteral(".syncthing.Data.vad.tmp"));
        QVERIFY(QFile::copy(dataPath(), stale));
        QVERIFY(WriteDayEntry(stale, 20261220, QStringLiteral("向こうの予定")));

        clickDay(15);
        typeEntry(QStringLiteral("十五日の予定"));
        clickDay(10);
        QCOMPARE(entry(20261215), QStringLiteral("十五日の予定"));
        typeEntry(QStringLiteral("十日"));
        QTRY_COMPARE(entry(20261210), QStringLiteral("十日"));

        QVERIFY(bringOver(stale));
        typeAtEnd(QStringLiteral("の続き"));
        QTRY_COMPARE(entry(20261210), QStringLiteral("十日の続き"));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("十日の続き"));
        QCOMPARE(entry(20261215), QStringLiteral("十五日の予定"));
        QCOMPARE(entry(20261220), QStringLiteral("向こうの予定"));
        QTRY_COMPARE(statusText(), broughtBack(2));
        QCOMPARE(ListRecoveryFiles(), QStringList());
        QVERIFY(!window()->mergedDaysWindow());
        QCOMPARE(boxes->boxes.size(), 0);
    }

    // The other computer changed the day being typed too: both changes end
    // up in the entry box and the file, and the day is listed in
    // 「統合した日」, from where it opens.
    void dayChangedOnBothSidesIsMergedIntoTheBox_data()
    {
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("merged");
        QTest::newRow("different lines")
            << QStringLiteral("朝寝\r\n昼\r\n夜") << QStringLiteral("朝寝\n昼\n夜更けだ");
        QTest::newRow("the same line")
            << QStringLiteral("朝\r\n昼\r\n夜中")
            << QStringLiteral("朝\n昼\n夜更けだ\n") + kDivider + QStringLiteral("\n夜中");
    }
    void dayChangedOnBothSidesIsMergedIntoTheBox()
    {
        QFETCH(QString, theirs);
        QFETCH(QString, merged);
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261210, QStringLiteral("朝\r\n昼\r\n夜")));
        start();
        window()->setQuietSaveDelay(50);
        clickDay(10);
        typeAtEnd(QStringLiteral("更け"));
        QTRY_COMPARE(entry(20261210), QStringLiteral("朝\r\n昼\r\n夜更け"));

        const QString other = folder->filePath(QStringLiteral(".syncthing.Data.vad.tmp"));
        QVERIFY(QFile::copy(folder->filePath(QStringLiteral("Data.vad")), other));
        QVERIFY(WriteDayEntry(other, 20261210, theirs));
        QVERIFY(bringOver(other));
        typeAtEnd(QStringLiteral("だ"));
        QTRY_COMPARE(entryBox()->toPlainText(), merged);
        QTRY_COMPARE(entry(20261210),
                     QString(merged).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
        QCOMPARE(ListRecoveryFiles(), QStringList());
        QTRY_COMPARE(statusText(), broughtBack(1));

        QTRY_VERIFY(window()->mergedDaysWindow() && window()->mergedDaysWindow()->isVisible());
        frmMergedDays* mergedDays = window()->mergedDaysWindow();
        QCOMPARE(mergedDays->windowTitle(), QStringLiteral("統合した日"));
        auto* list = mergedDays->findChild<QTreeWidget*>(QStringLiteral("lstMergedDays"));
        QVERIFY(list);
        QTRY_COMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("2026/12/10(木)"));
        QCOMPARE(list->topLevelItem(0)->text(1), merged.section(QLatin1Char('\n'), 0, 0));
        clickDay(11);
        QCOMPARE(curDate(), 20261211);
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(curDate(), 20261210);
        QCOMPARE(entryBox()->toPlainText(), merged);
        QCOMPARE(boxes->boxes.size(), 0);
    }
};

ZEDU_TEST_MAIN(tst_SyncMerge)
#include "tst_SyncMerge.moc"
