#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/DayJournal.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "sync/JournalReplay.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QString kDivider =
    QStringLiteral("――― 別のコンピューターで書かれた内容（2026/12/08 10:15）―――");

QVariant entry(const QString& path, int key)
{
    return ReadDayField(path, key, QStringLiteral("内容"));
}

QVariant kind(const QString& path, int key)
{
    return ReadDayField(path, key, QStringLiteral("平日"));
}

// Puts `copy` in the calendar's place as a sync tool does: renamed over it,
// written by the other computer at 2026/12/08 10:15.
bool renameOver(const QString& copy)
{
    QFile file(copy);
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15)),
                          QFileDevice::FileModificationTime))
        return false;
    file.close();
    return std::rename(QFile::encodeName(copy).constData(),
                       QFile::encodeName(gDataPath).constData()) == 0;
}

} // namespace

// The store's journal of this run's writes, brought back into a calendar
// that another program renamed over the one in use.
class tst_JournalReplay : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString copy;

private slots:
    void initTestCase() { JournalReplay::install(); }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        copy = dir->filePath(QStringLiteral(".syncthing.Data.vad.tmp"));
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 202701));
        DayJournal::instance().clear();
        JournalReplay::instance().takeReport();
    }

    void cleanup()
    {
        gDatabase.close();
        gOpenFlag = true;
        ForgetCalendarFile();
    }

    void staleCopyGetsBackWhatWasWritten_data() { AddSpeedPriorityRows(); }
    void staleCopyGetsBackWhatWasWritten()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        QVERIFY(WriteDayEntry(gDataPath, 20261217, QStringLiteral("一\r\n二\r\n三")));
        QVERIFY(WriteDayEntry(gDataPath, 20261219, QStringLiteral("朝")));
        QVERIFY(SqlPeek(gDataPath).exec(
            QStringLiteral("UPDATE Master SET 平日 = NULL WHERE 日付 IN (20261205, 20261221)")));
        gMaster.DateTop();

        // The other computer's copy, as it was before this run wrote, with
        // changes of its own.
        QVERIFY(QFile::copy(gDataPath, copy));
        QVERIFY(WriteDayEntry(copy, 20261217, QStringLiteral("一\r\n二\r\n三改")));
        QVERIFY(WriteDayEntry(copy, 20261218, QStringLiteral("同じ")));
        QVERIFY(WriteDayEntry(copy, 20261219, QStringLiteral("朝寝")));
        QVERIFY(WriteDayEntry(copy, 20261220, QStringLiteral("向こうの予定")));

        QVERIFY(gMaster.PlanSave(20261215, QStringLiteral("こちらの予定")));
        gMaster.WeekDayChange(20261216);
        QVERIFY(gMaster.PlanSave(20261217, QStringLiteral("一改\r\n二\r\n三")));
        QVERIFY(gMaster.PlanSave(20261218, QStringLiteral("同じ")));
        QVERIFY(gMaster.PlanSave(20261219, QStringLiteral("朝食")));
        gMaster.WeekDayChange(20261221);
        // Every Saturday a workday: a bulk change.
        gMaster.WeekWeekDayChange(6, true);
        // A day changed by itself after a bulk change.
        gMaster.WeekDayChange(20261222);

        QSignalSpy replayed(&JournalReplay::instance(), &JournalReplay::replayed);
        QVERIFY(renameOver(copy));
        gMaster.DateTop();
        QCOMPARE(replayed.size(), 1);

        const struct
        {
            int key;
            QVariant text;
            QVariant workday;
        } expected[] = {
            {20261215, QStringLiteral("こちらの予定"), true},       // written here only
            {20261216, QStringLiteral(""), false},                  // kind changed here only
            {20261217, QStringLiteral("一改\r\n二\r\n三改"), true}, // different lines
            {20261218, QStringLiteral("同じ"), true},               // the same on both sides
            {20261219, QStringLiteral("朝食\r\n") + kDivider + QStringLiteral("\r\n朝寝"),
             true}, // the same line: both kept; a Saturday made a workday
            {20261220, QStringLiteral("向こうの予定"), false}, // written there only
            {20261221, QStringLiteral(""), true},              // a flag that was NULL
            {20261205, QStringLiteral(""), true},              // a Saturday whose flag was NULL
            {20261222, QStringLiteral(""), false},             // changed after the bulk change
            {20261226, QStringLiteral(""), true},              // a Saturday
            {20270102, QStringLiteral(""), true},              // a Saturday
        };
        for (const auto& day : expected) {
            QCOMPARE(entry(gDataPath, day.key).toString(), day.text.toString());
            QCOMPARE(kind(gDataPath, day.key).toInt(), day.workday.toBool() ? 1 : 0);
        }
        const JournalReplay::Report report = JournalReplay::instance().takeReport();
        // 15, 16, 17, 19, 21, 22 and the nine Saturdays (the 19th among them).
        QCOMPARE(report.broughtBack, 14);
        QCOMPARE(report.merged, (QList<MergedDay>{{20261217, false}, {20261219, true}}));
        QVERIFY(report.unstored.isEmpty());

        // The file is the calendar's own now: the next operations leave it.
        gMaster.DateTop();
        QCOMPARE(replayed.size(), 1);
        // What the journal holds still counts against a later copy.
        QVERIFY(QFile::copy(gDataPath, copy));
        QVERIFY(WriteDayEntry(copy, 20261215, QString()));
        QVERIFY(renameOver(copy));
        gMaster.DateTop();
        QCOMPARE(entry(gDataPath, 20261215).toString(), QStringLiteral("こちらの予定"));
        QCOMPARE(JournalReplay::instance().takeReport().broughtBack, 1);
    }

    void daysTheNewFileDoesNotStoreAreReported()
    {
        QVERIFY(gMaster.PlanSave(20270115, QStringLiteral("一月の予定")));
        QVERIFY(MakeCalendarFile(copy, 202612, 202612));
        QVERIFY(renameOver(copy));
        gMaster.DateTop();
        const JournalReplay::Report report = JournalReplay::instance().takeReport();
        QCOMPARE(report.broughtBack, 0);
        QCOMPARE(report.unstored.size(), 1);
        QCOMPARE(report.unstored[0].key, 20270115);
        QCOMPARE(report.unstored[0].day.text, QStringLiteral("一月の予定"));
    }

    // The store's own replacements are no other program's; a restore puts
    // the calendar the user chose in place, and what was written before
    // stays out of it.
    void ownReplacementsAreNotMerged_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("range change") << false;
        QTest::newRow("restore") << true;
    }
    void ownReplacementsAreNotMerged()
    {
        QFETCH(bool, restore);
        QSignalSpy replayed(&JournalReplay::instance(), &JournalReplay::replayed);
        const QString backup = BackupCalendar();
        QVERIFY(gMaster.PlanSave(20261215, QStringLiteral("書いた")));
        if (restore)
            RestoreBackup(backup);
        else
            QVERIFY(gMaster.Update(202612, 202702));
        gMaster.DateTop();
        QCOMPARE(replayed.size(), 0);
        QCOMPARE(entry(gDataPath, 20261215).toString(),
                 restore ? QString() : QStringLiteral("書いた"));
        QCOMPARE(DayJournal::instance().isEmpty(), restore);
    }
};

ZEDU_TEST_MAIN(tst_JournalReplay)
#include "tst_JournalReplay.moc"
