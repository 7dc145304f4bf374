// Moving the calendar into another folder: every day and every backup kept,
// plain and encrypted; the old place emptied only after the copy was
// checked, and left as it was when anything fails. The command around it
// (the window, the remembered place) is shown in tst_CalendarPlace.

#include "platform/Globals.h"
#include "store/Argon2Kdf.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/CalendarMove.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>

namespace {

// Every file under `folder` (relative path → SHA-256), hidden ones too.
QMap<QString, QByteArray> digests(const QString& folder)
{
    QMap<QString, QByteArray> found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        found.insert(QDir(folder).relativeFilePath(path), FileDigest(path));
    }
    return found;
}

// Every row of a calendar, plain or sealed with the held keys.
QList<QVariantList> rowsOf(const QString& path)
{
    Database db;
    db.openForReading(path);
    Query all(db, QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master ORDER BY 日付"));
    all.exec();
    QList<QVariantList> rows;
    while (all.next())
        rows.append({all.value(0), all.value(1), all.value(2), all.value(3)});
    return rows;
}

} // namespace

class tst_CalendarMove : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString home() const { return dir->filePath(QStringLiteral("home")); }
    QString synced() const { return dir->filePath(QStringLiteral("同期 フォルダー")); }

    // A calendar with entries at home, two backups and a note of the user's
    // in its backup folder.
    void makeCalendar(bool encrypted)
    {
        QVERIFY(QDir().mkpath(home()));
        QVERIFY(QDir().mkpath(synced()));
        gDataPath = home() + QStringLiteral("/Data.vad");
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 202712));
        QVERIFY(WriteDayEntry(gDataPath, 20261207, QStringLiteral("会議\r\n二行目")));
        QVERIFY(WriteDayEntry(gDataPath, 20271231, QStringLiteral("大晦日")));
        if (encrypted) {
            QString password = QStringLiteral("合言葉");
            EncryptCalendar(SecureBytes::takeText(password), Argon2Kdf::withLimits(1, 8));
        }
        BackupCalendar();
        BackupCalendar();
        writeFile(BackupFolder() + QStringLiteral("/notes.txt"), "keep me");
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gOpenFlag = false;
    }
    void cleanup()
    {
        setCopyCheckHookForTesting({});
        gDatabase.close();
        ForgetCalendarKeys();
    }

    void movedThereAndBack_data()
    {
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("speed");
        QTest::newRow("plain, speed priority on") << false << true;
        QTest::newRow("plain, speed priority off") << false << false;
        QTest::newRow("encrypted, speed priority on") << true << true;
        QTest::newRow("encrypted, speed priority off") << true << false;
    }
    void movedThereAndBack()
    {
        QFETCH(bool, encrypted);
        QFETCH(bool, speed);
        makeCalendar(encrypted);
        gOpenFlag = speed;
        if (speed)
            gDatabase.open(gDataPath);
        const QList<QVariantList> rows = rowsOf(gDataPath);
        QCOMPARE(rows.size(), 396);
        const QMap<QString, QByteArray> files = digests(home());
        QCOMPARE(files.size(), 4);

        for (const QString& to : {synced(), home()}) {
            const QString from = QFileInfo(gDataPath).absolutePath();
            const CalendarCopy copy = CopyCalendarTo(to);
            QCOMPARE(copy.from, from + QStringLiteral("/Data.vad"));
            QCOMPARE(copy.to, to + QStringLiteral("/Data.vad"));
            QCOMPARE(copy.backups.size(), 3);
            QVERIFY(!gDatabase.isOpen());
            // Copied byte for byte, and nothing taken from the old place yet.
            QCOMPARE(digests(to), files);
            QCOMPARE(digests(from), files);
            QCOMPARE(rowsOf(copy.to), rows);
            QCOMPARE(IsEncryptedFile(copy.to), encrypted);
            QVERIFY(OwnerOnly(copy.to));

            QCOMPARE(RemoveCopiedCalendar(copy), QStringList());
            QVERIFY(QDir(from).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
            gDataPath = copy.to;
        }
        QCOMPARE(digests(home()), files);
    }

    void foldersThatCannotTakeTheCalendar_data()
    {
        QTest::addColumn<QString>("folder"); // relative to the test's folder
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("found"); // relative to the test's folder
        QTest::newRow("an empty folder") << "同期 フォルダー"
                                         << "" << int(MoveTarget::Fit) << "";
        QTest::newRow("the same backups there already")
            << "同期 フォルダー"
            << "same backups" << int(MoveTarget::Fit) << "";
        QTest::newRow("no such folder") << "nowhere"
                                        << "" << int(MoveTarget::NotAFolder) << "nowhere";
        QTest::newRow("the calendar's own folder")
            << "home/../home/"
            << "" << int(MoveTarget::SameFolder) << "home/Data.vad";
        QTest::newRow("its backup folder") << "home/backup"
                                           << "" << int(MoveTarget::InsideBackups) << "home/backup";
        QTest::newRow("a folder in its backup folder")
            << "home/backup/old"
            << "" << int(MoveTarget::InsideBackups) << "home/backup";
        QTest::newRow("a calendar there")
            << "同期 フォルダー"
            << "Data.vad" << int(MoveTarget::HoldsCalendar) << "同期 フォルダー/Data.vad";
        QTest::newRow("a journal there") << "同期 フォルダー"
                                         << "Data.vad-journal" << int(MoveTarget::HoldsRemains)
                                         << "同期 フォルダー/Data.vad-journal";
        QTest::newRow("a range change's copy there")
            << "同期 フォルダー"
            << "New.vad" << int(MoveTarget::HoldsRemains) << "同期 フォルダー/New.vad";
        QTest::newRow("another file under a backup's name")
            << "同期 フォルダー"
            << "other backup" << int(MoveTarget::BackupTaken) << "同期 フォルダー/backup/notes.txt";
    }
    void foldersThatCannotTakeTheCalendar()
    {
        QFETCH(QString, folder);
        QFETCH(QString, setup);
        QFETCH(int, verdict);
        QFETCH(QString, found);
        makeCalendar(false);
        QVERIFY(QDir().mkpath(home() + QStringLiteral("/backup/old")));
        const QString target = dir->filePath(folder);
        if (setup == QLatin1String("same backups"))
            writeFile(synced() + QStringLiteral("/backup/notes.txt"), "keep me");
        else if (setup == QLatin1String("other backup"))
            writeFile(synced() + QStringLiteral("/backup/notes.txt"), "another note");
        else if (!setup.isEmpty())
            writeFile(synced() + QLatin1Char('/') + setup, "there before");

        const MoveTarget checked = CheckMoveTarget(target);
        QCOMPARE(int(checked.verdict), verdict);
        if (!found.isEmpty())
            QCOMPARE(QDir::cleanPath(checked.found), QDir::cleanPath(dir->filePath(found)));
        if (verdict == MoveTarget::Fit)
            return;
        // The copy refuses such a folder too, writing nothing anywhere.
        const QMap<QString, QByteArray> before = digests(dir->path());
        QVERIFY_THROWS_EXCEPTION(EngineError, CopyCalendarTo(target));
        QCOMPARE(digests(dir->path()), before);
    }

    void failedCopyLeavesEverythingWhereItWas_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("cause");
        QTest::newRow("the calendar's copy altered before its check")
            << "calendar altered" << int(EngineError::Cause::DiskError);
        QTest::newRow("a backup's copy altered before its check")
            << "backup altered" << int(EngineError::Cause::DiskError);
        QTest::newRow("the calendar is no calendar")
            << "no calendar" << int(EngineError::Cause::NotCalendar);
        QTest::newRow("no backup folder can be made there") << "backup is a file" << -1;
        QTest::newRow("another program writing the calendar")
            << "journal" << int(EngineError::Cause::InUse);
        QTest::newRow("the copy given up after its check") << "discarded" << -1;
        // (-1: whatever cause the file system gives)
    }
    void failedCopyLeavesEverythingWhereItWas()
    {
        QFETCH(QString, fault);
        QFETCH(int, cause);
        makeCalendar(false);
        if (fault == QLatin1String("calendar altered"))
            setCopyCheckHookForTesting([](const CalendarCopy& copy) {
                QFile file(copy.to);
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.seek(file.size() - 1);
                file.write("!");
            });
        else if (fault == QLatin1String("backup altered"))
            setCopyCheckHookForTesting([this](const CalendarCopy&) {
                writeFile(synced() + QStringLiteral("/backup/notes.txt"), "changed on the way");
            });
        else if (fault == QLatin1String("no calendar"))
            QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral("DROP TABLE Master")));
        else if (fault == QLatin1String("backup is a file"))
            writeFile(synced() + QStringLiteral("/backup"), "not a folder");
        else if (fault == QLatin1String("journal"))
            writeFile(gDataPath + QStringLiteral("-journal"), "");
        const QMap<QString, QByteArray> home = digests(this->home());
        const QMap<QString, QByteArray> there = digests(synced());

        if (fault == QLatin1String("discarded")) {
            DiscardCalendarCopy(CopyCalendarTo(synced()));
        } else {
            try {
                CopyCalendarTo(synced());
                QFAIL("the copy was taken for a good one");
            } catch (const EngineError& e) {
                if (cause >= 0)
                    QCOMPARE(int(e.cause()), cause);
            }
        }
        QCOMPARE(digests(this->home()), home);
        QCOMPARE(digests(synced()), there);
        // No folder of its own left behind either.
        QCOMPARE(QFileInfo(synced() + QStringLiteral("/backup")).isDir(), false);
    }

    void whatCannotBeRemovedIsNamed()
    {
        makeCalendar(false);
        // A folder in the backup folder is none of the backups: it is not
        // copied, and stays with the folder that holds it.
        writeFile(BackupFolder() + QStringLiteral("/old/Data-20200101-000000.vad"), "old one");
        const QString backups = BackupFolder();
        const CalendarCopy copy = CopyCalendarTo(synced());
        QCOMPARE(RemoveCopiedCalendar(copy), QStringList{backups});
        QVERIFY(!QFileInfo::exists(copy.from));
        QCOMPARE(digests(backups).keys(),
                 QStringList{QStringLiteral("old/Data-20200101-000000.vad")});
        QCOMPARE(rowsOf(copy.to).size(), 396);
    }
};

ZEDU_TEST_MAIN(tst_CalendarMove)
#include "tst_CalendarMove.moc"
