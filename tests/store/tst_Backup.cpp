// Automatic backups: a compacted, owner-only copy of the calendar in the
// folder "backup" beside it; only the ones made last are kept, whatever the
// clock said when they were made.

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

    void backupsKeepTheOrderTheyWereMadeIn_data()
    {
        // The folder before one more backup is made, oldest first by the
        // order of making; "new" stands for the backup made. Every file's
        // modification time runs the other way, the times in the names lie
        // far from the clock: neither may decide.
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QStringList numbered;
        for (int i = 5; i < 5 + kBackupsKept; ++i)
            numbered << QStringLiteral("Data-20990101-0000%1-%2.vad")
                            .arg(i, 2, 10, QLatin1Char('0'))
                            .arg(i, 6, 10, QLatin1Char('0'));
        QTest::newRow("numbered, from a clock that ran ahead")
            << numbered << numbered.mid(1) + QStringList{QStringLiteral("new 000025")};
        QStringList earlier;
        for (int i = 0; i < kBackupsKept + 1; ++i)
            earlier << QStringLiteral("Data-20300101-0000%1.vad").arg(i, 2, 10, QLatin1Char('0'));
        QTest::newRow("earlier versions' names, by their times")
            << earlier << earlier.mid(2) + QStringList{QStringLiteral("new 000001")};
        const QStringList mixed{QStringLiteral("Data-20990101-000000.vad"),
                                QStringLiteral("Data-20990101-000000-2.vad"),
                                QStringLiteral("Data-20990101-000000-10.vad"),
                                QStringLiteral("Data-20990102-000000.vad"),
                                QStringLiteral("Data-20000101-000000-000007.vad"),
                                QStringLiteral("Data-19990101-000000-000008.vad")};
        QTest::newRow("earlier versions' names before numbered ones")
            << mixed << mixed + QStringList{QStringLiteral("new 000009")};
        QTest::newRow("calendars set aside are no backups")
            << numbered + QStringList{QStringLiteral("Data-20990101-000000-damaged.vad")}
            << numbered.mid(1) + QStringList{QStringLiteral("new 000025")};
    }
    void backupsKeepTheOrderTheyWereMadeIn()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QVERIFY(QDir().mkpath(BackupFolder()));
        const QDateTime base(QDate(2001, 1, 1), QTime(0, 0));
        for (int i = 0; i < before.size(); ++i) {
            QFile file(BackupFolder() + QLatin1Char('/') + before[i]);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(base.addDays(-i), QFileDevice::FileModificationTime));
        }
        const QString made = QFileInfo(BackupCalendar()).fileName();
        const QString number = after.last().mid(4);
        QVERIFY2(made.endsWith(QLatin1Char('-') + number + QStringLiteral(".vad")),
                 qPrintable(made));
        after.last() = made;
        QCOMPARE(ListBackups(), after);
        // The one made last, listed first, is the one start-up offers.
        QCOMPARE(QFileInfo(ReadBackupInfos().first().path).fileName(), made);
        QCOMPARE(QFileInfo(LastReadableBackup()->path).fileName(), made);
        for (const QString& name : before)
            if (name.endsWith(QStringLiteral("-damaged.vad")))
                QVERIFY(QFile::exists(BackupFolder() + QLatin1Char('/') + name));
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
            QCOMPARE(e.cause(), EngineError::Cause::Damaged);
        }
        QCOMPARE(QDir(BackupFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

ZEDU_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
