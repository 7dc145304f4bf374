// Automatic backups: a compacted, owner-only copy of the calendar in the
// folder "backup" beside it; only the newest are kept.

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
        for (int i = 0; i < kBackupsKept + 5; ++i)
            QFile(BackupFolder() +
                  QStringLiteral("/Data-20200101-0000%1.vad").arg(i, 2, 10, QLatin1Char('0')))
                .open(QIODevice::WriteOnly);
        QFile(BackupFolder() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);

        const QString backup = BackupCalendar();
        QCOMPARE(rows(backup), rows(gDataPath));
        QVERIFY(IsIntactCalendar(backup));
        QVERIFY(QFileInfo(backup).size() < QFileInfo(gDataPath).size());
        QVERIFY(OwnerOnly(backup));
        QVERIFY(!gDatabase.isOpen());
        const QStringList kept = ListBackups();
        QCOMPARE(kept.size(), kBackupsKept);
        QCOMPARE(kept.first(), QStringLiteral("Data-20200101-000006.vad"));
        QCOMPARE(BackupFolder() + QLatin1Char('/') + kept.last(), backup);
        // Files that are no backups are never touched.
        QVERIFY(QFile::exists(BackupFolder() + QStringLiteral("/notes.txt")));
    }
};

ZEDU_TEST_MAIN(tst_Backup)
#include "tst_Backup.moc"
