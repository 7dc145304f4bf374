// Automatic backups: a compacted, owner-only copy of the calendar in the
// folder "backup" beside it. Which are kept is shown where the commands make
// them (tst_RestoreCommands).

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

class tst_Backup : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static QList<QVariantList> rows(const QString& path)
    {
        return SqlPeek(path).rows(QStringLiteral("SELECT * FROM Master ORDER BY 日付"));
    }

private slots:
    void init()
    {
        gDataPath = dir.filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QDir(BackupFolder()).removeRecursively();
        QFile::remove(gDataPath);
        QVERIFY(MakeCalendarFile(gDataPath, 202001, 202912));
    }

    void compactedPrivateCopy()
    {
        // Deleted days leave free pages that a compacted copy does not have.
        QVERIFY(
            SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master WHERE 日付 < 20290101")));
        QVERIFY(WriteDayEntry(gDataPath, 20291207, QStringLiteral("控え\r\n二行目")));
        QVERIFY(QDir().mkpath(BackupFolder()));
        QFile(BackupFolder() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);

        const QString backup = BackupCalendar();
        QCOMPARE(rows(backup), rows(gDataPath));
        QVERIFY(IsIntactCalendar(backup));
        QVERIFY(QFileInfo(backup).size() < QFileInfo(gDataPath).size());
        QVERIFY(OwnerOnly(backup));
        QVERIFY(!gDatabase.isOpen());
        // Named after the moment it was made, which the restore window shows.
        const QDateTime made = ReadBackupInfo(backup).made;
        QVERIFY(qAbs(made.secsTo(Clock::Now())) < 5);
        QCOMPARE(QFileInfo(backup).fileName(),
                 QStringLiteral("Data-%1-000001.vad")
                     .arg(made.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
        // Files that are no backups are never touched.
        QVERIFY(QFile::exists(BackupFolder() + QStringLiteral("/notes.txt")));
    }

    void onlyACalendarIsBackedUp_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("no table Master") << QStringLiteral("DROP TABLE Master");
        QTest::newRow("columns of other kinds")
            << QStringLiteral("ALTER TABLE Master RENAME COLUMN 内容 TO x; "
                              "ALTER TABLE Master ADD COLUMN 内容 BLOB");
        QTest::newRow("a column missing") << QStringLiteral("ALTER TABLE Master DROP COLUMN 平日");
    }
    void onlyACalendarIsBackedUp()
    {
        QFETCH(QString, sql);
        for (const QString& statement : sql.split(QStringLiteral("; ")))
            QVERIFY(SqlPeek(gDataPath).exec(statement));
        try {
            BackupCalendar();
            QFAIL("a file that is no calendar was backed up");
        } catch (const EngineError& e) {
            QCOMPARE(e.cause(), EngineError::Cause::NotCalendar);
        }
        QCOMPARE(QDir(BackupFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

ZEDU_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
