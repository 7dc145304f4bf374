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

    // A conflict copy taken in keeps its own name in the backup folder and
    // is no backup: neither ordered among them nor removed to keep 20.
    void copiesTakenInAreNoBackups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("second");
        const auto row = [](const char* name, const char* second) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(second);
        };
        row("Data.sync-conflict-20261208-101530-ABCDEF7.vad",
            "Data.sync-conflict-20261208-101530-ABCDEF7-2.vad");
        row("Data (conflicted copy 2026-12-08 101530).vad",
            "Data (conflicted copy 2026-12-08 101530)-2.vad");
        row("Data (花子's conflicted copy 2026-12-08).vad",
            "Data (花子's conflicted copy 2026-12-08)-2.vad");
        row("Data-HANAKO-PC.vad", "Data-HANAKO-PC-2.vad");
    }
    void copiesTakenInAreNoBackups()
    {
        QFETCH(QString, name);
        QFETCH(QString, second);
        const QString folder = QFileInfo(gDataPath).absolutePath();
        QStringList moved;
        for (int i = 0; i < 2; ++i) {
            QVERIFY(MakeCalendarFile(folder + QLatin1Char('/') + name, 202612, 202612));
            moved << MoveIntoBackupFolder(folder + QLatin1Char('/') + name);
            QVERIFY(!QFile::exists(folder + QLatin1Char('/') + name));
        }
        // A copy that the sync program took away before it was moved (the
        // other computer took it in as well) is no failure.
        moved << MoveIntoBackupFolder(folder + QLatin1Char('/') + name);
        QCOMPARE(moved, (QStringList{BackupFolder() + QLatin1Char('/') + name,
                                     BackupFolder() + QLatin1Char('/') + second, QString()}));
        moved.removeLast();
        for (const QString& path : moved)
            QVERIFY(OwnerOnly(path));
        QStringList made;
        for (int i = 0; i < kBackupsKept + 1; ++i)
            made << QFileInfo(BackupCalendar()).fileName();
        QCOMPARE(ListBackups(), made.mid(1));
        for (const QString& path : moved) {
            QVERIFY(QFile::exists(path));
            QVERIFY(CalendarCopies().contains(path));
        }
    }
};

ZEDU_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
