// Automatic backups: a compacted, owner-only copy of the calendar in the
// folder "backup" beside it; only the newest are kept.

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

    void compactedPrivateCopyAndTheNewestKept()
    {
        // Deleted days leave free pages that a compacted copy does not have.
        QVERIFY(
            SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master WHERE 日付 < 20290101")));
        QVERIFY(WriteDayEntry(gDataPath, 20291207, QStringLiteral("控え\r\n二行目")));
        QVERIFY(QDir().mkpath(BackupFolder()));
        // Made later than the clock says now (it was set back): newer, and
        // so kept, but never in place of the one just written.
        const QDateTime later(QDate(2030, 1, 1), QTime(0, 0));
        for (int i = 0; i < kBackupsKept + 5; ++i) {
            QFile file(BackupFolder() +
                       QStringLiteral("/Data-20200101-0000%1.vad").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(later.addSecs(i), QFileDevice::FileModificationTime));
        }
        QFile(BackupFolder() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);

        const QString backup = BackupCalendar();
        QCOMPARE(rows(backup), rows(gDataPath));
        QVERIFY(IsIntactCalendar(backup));
        QVERIFY(QFileInfo(backup).size() < QFileInfo(gDataPath).size());
        QVERIFY(OwnerOnly(backup));
        QVERIFY(!gDatabase.isOpen());
        const QStringList kept = ListBackups();
        QCOMPARE(kept.size(), kBackupsKept);
        QCOMPARE(BackupFolder() + QLatin1Char('/') + kept.first(), backup);
        QCOMPARE(kept[1], QStringLiteral("Data-20200101-000006.vad"));
        // Files that are no backups are never touched.
        QVERIFY(QFile::exists(BackupFolder() + QStringLiteral("/notes.txt")));
    }

    void namesNeverCollide()
    {
        // Every name the next seconds would give is taken already.
        QVERIFY(QDir().mkpath(BackupFolder()));
        const QDateTime now = Clock::Now();
        for (int s = 0; s < 10; ++s)
            QVERIFY(QFile(BackupFolder() +
                          QStringLiteral("/Data-%1.vad")
                              .arg(now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"))))
                        .open(QIODevice::WriteOnly));
        const QString first = BackupCalendar();
        const QString second = BackupCalendar();
        QVERIFY2(first.endsWith(QStringLiteral("-2.vad")), qPrintable(first));
        QVERIFY2(second.endsWith(QStringLiteral("-2.vad")) ||
                     second.endsWith(QStringLiteral("-3.vad")),
                 qPrintable(second));
        QVERIFY(first != second);
        QCOMPARE(ListBackups().size(), 12);
        QCOMPARE(ListBackups().last(), QFileInfo(second).fileName());
        QCOMPARE(rows(second), rows(gDataPath));
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
