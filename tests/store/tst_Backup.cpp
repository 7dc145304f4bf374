// Automatic backups: a compacted, owner-only copy of the calendar in the
// folder "backup" beside it; only the newest ones are kept; a copy that cannot
// be written leaves nothing behind.

#include "platform/Clock.h"
#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QList<QVariantList> allRows(const QString& path)
{
    return SqlPeek(path).rows(QStringLiteral("SELECT * FROM Master ORDER BY 日付"));
}

} // namespace

class tst_Backup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        Clock::setTodayForTesting(QDate(2026, 12, 7));
        QVERIFY(MakeCalendarFile(gDataPath, 202001, 202912));
        QVERIFY(WriteDayEntry(gDataPath, 20261207, QStringLiteral("控え\r\n二行目")));
    }

    void cleanup()
    {
        gDatabase.close();
        Clock::setTodayForTesting(std::nullopt);
        dir.reset();
    }

    void backupIsACompactedPrivateCopy_data() { AddSpeedPriorityRows(); }
    void backupIsACompactedPrivateCopy()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        if (speed)
            gDatabase.open(gDataPath);
        // Deleted rows leave free pages that a compacted copy does not have.
        QVERIFY(
            SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master WHERE 日付 < 20290101")));
        const QList<QVariantList> before = allRows(gDataPath);
        QVERIFY(!HasBackupOf(Clock::Today()));

        const QString backup = BackupCalendar();
        QCOMPARE(QFileInfo(backup).absolutePath(), BackupFolder());
        QCOMPARE(BackupFolder(), dir->filePath(QStringLiteral("backup")));
        QVERIFY(QFileInfo(backup).fileName().startsWith(QStringLiteral("Data-20261207-")));
        QCOMPARE(ListBackups(), QStringList{QFileInfo(backup).fileName()});
        QVERIFY(HasBackupOf(Clock::Today()));
        QVERIFY(!HasBackupOf(Clock::Today().addDays(-1)));
        QCOMPARE(allRows(backup), before);
        QVERIFY(IsIntactCalendar(backup));
        QVERIFY(QFileInfo(backup).size() < QFileInfo(gDataPath).size());
        QVERIFY(OwnerOnly(backup));
        QVERIFY(OwnerOnly(BackupFolder()));
        QVERIFY(QFile::permissions(BackupFolder()) & QFile::ExeOwner);
        // Nothing else is left in the folder, and the open policy holds.
        QCOMPARE(
            QDir(BackupFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QFileInfo(backup).fileName()});
        QCOMPARE(gDatabase.isOpen(), speed);
    }

    void onlyTheNewestAreKept()
    {
        QVERIFY(QDir().mkpath(BackupFolder()));
        auto touch = [](const QString& name) {
            QFile f(BackupFolder() + QLatin1Char('/') + name);
            return f.open(QIODevice::WriteOnly);
        };
        for (int i = 0; i < kBackupsKept + 5; ++i)
            QVERIFY(
                touch(QStringLiteral("Data-20200101-0000%1.vad").arg(i, 2, 10, QLatin1Char('0'))));
        QVERIFY(touch(QStringLiteral("Data-kept.vad")));
        QVERIFY(touch(QStringLiteral("notes.txt")));

        const QString newest = QFileInfo(BackupCalendar()).fileName();
        const QStringList kept = ListBackups();
        QCOMPARE(kept.size(), kBackupsKept);
        QCOMPARE(kept.last(), newest);
        QCOMPARE(kept.first(), QStringLiteral("Data-20200101-000006.vad"));
        // Files that are no backups are never touched.
        QVERIFY(QFile::exists(BackupFolder() + QStringLiteral("/Data-kept.vad")));
        QVERIFY(QFile::exists(BackupFolder() + QStringLiteral("/notes.txt")));
    }

    void backupsWithinOneSecondKeepTheirOrder()
    {
        const QString first = QFileInfo(BackupCalendar()).fileName();
        QVERIFY(WriteDayEntry(gDataPath, 20261207, QStringLiteral("後の状態")));
        const QString second = QFileInfo(BackupCalendar()).fileName();
        QVERIFY(first < second);
        QCOMPARE(ListBackups(), (QStringList{first, second}));
        QCOMPARE(ReadDayField(BackupFolder() + QLatin1Char('/') + second, 20261207,
                              QStringLiteral("内容"))
                     .toString(),
                 QStringLiteral("後の状態"));
    }

    void failedBackupLeavesNothing()
    {
        // A file where the folder should be.
        {
            QFile blocker(BackupFolder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, BackupCalendar());
        QVERIFY(QFileInfo(BackupFolder()).isFile());
        QVERIFY(QFile::remove(BackupFolder()));

        // The calendar held by another program: nothing half-written stays.
        SqlPeek other(gDataPath);
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        try {
            BackupCalendar();
            QFAIL("backed up a locked calendar");
        } catch (const EngineError& e) {
            QCOMPARE(e.cause(), EngineError::Cause::InUse);
        }
        QCOMPARE(
            QDir(BackupFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
};

ZEDU_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
