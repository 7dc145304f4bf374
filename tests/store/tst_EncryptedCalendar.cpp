// An encrypted calendar through the store: turned on and off, unlocked,
// used by the store's own operations under either open policy, and never
// leaving plain text on disk.

#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/MasterReads.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QTemporaryDir>

#include <csignal>
#include <optional>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kMarker = QStringLiteral("ひみつの合図");

SecureBytes secret(const char* text)
{
    QString value = QString::fromUtf8(text);
    return SecureBytes::takeText(value);
}

// Names of the files made in some folders (not in their subfolders) while
// the object lives, as the kernel reports them: also files that SQLite
// removes from the folder right after making them.
class MadeFiles
{
public:
    explicit MadeFiles(const QStringList& folders) : mFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const QString& folder : folders)
            inotify_add_watch(mFd, QFile::encodeName(folder).constData(), IN_CREATE | IN_MOVED_TO);
    }
    ~MadeFiles() { ::close(mFd); }
    QStringList names()
    {
        QStringList names;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t n; (n = ::read(mFd, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                names << QFile::decodeName(event->name);
                p += sizeof(inotify_event) + event->len;
            }
        names.removeDuplicates();
        names.sort();
        return names;
    }

private:
    int mFd;
};

QString entryOf(int day)
{
    QString text;
    if (!gMaster.PlanLoad(day, text))
        return QStringLiteral("(not stored)");
    return text;
}

} // namespace

class tst_EncryptedCalendar : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString recoveryText;

    // Closes and forgets everything, as a new start of the program would.
    static void restart()
    {
        gDatabase.close();
        ForgetCalendarKeys();
    }

    void encryptedCalendar(int first, int last)
    {
        QVERIFY(MakeCalendarFile(gDataPath, first, last));
        QVERIFY(WriteDayEntry(gDataPath, first * 100 + 1, kMarker + QStringLiteral("\r\n一日目")));
        recoveryText = EncryptCalendar(secret("合言葉"), Argon2Kdf::withLimits(1, 8));
        if (gOpenFlag)
            gDatabase.open(gDataPath);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
    }

    void cleanup()
    {
        restart();
        dir.reset();
    }

    void storeOperationsAndRestart_data() { AddSpeedPriorityRows(); }

    void storeOperationsAndRestart()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        encryptedCalendar(202001, 202112);
        QVERIFY(gMaster.PlanSave(20210304, QStringLiteral("三月四日")));
        // The file renamed over the calendar by the save is the image's own:
        // the next operation keeps the image instead of reading it again.
        QVERIFY(!gDatabase.isOpen() || gDatabase.isStillOnDisk());
        gMaster.PlanInsert(3, 4, QStringLiteral("行事"));
        gMaster.WeekDayChange(20210304);
        QVERIFY(gMaster.Update(202006, 202212));
        // The file stays in memory for the run whatever the speed priority.
        QVERIFY(gDatabase.isOpen() || !speed);
        QCOMPARE(ReadStoredMonths().size(), 31);

        restart();
        try {
            gMaster.DateTop();
            QFAIL("read an encrypted calendar without its keys");
        } catch (const EngineError& e) {
            QCOMPARE(
                e.causeText(),
                QStringLiteral("暦ファイルは暗号化されています。開くにはパスワードが必要です。"));
        }
        try {
            UnlockCalendar(secret("違う"));
            QFAIL("unlocked with a wrong password");
        } catch (const EnvelopeError& e) {
            QCOMPARE(e.failure(), EnvelopeFailure::WrongPassword);
        }
        QVERIFY(!HeldCalendarKeys());
        UnlockCalendar(secret("合言葉"));
        QVERIFY(gDatabase.isOpen());
        QCOMPARE(gMaster.DateTop(), 20200601);
        QCOMPARE(gMaster.DateBottom(), 20221231);
        QCOMPARE(entryOf(20210304), QStringLiteral("行事\r\n三月四日"));
        QCOMPARE(ReadMonthDays(202103).days[3].holiday, true);
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void nothingPlainReachesDisk()
    {
        gOpenFlag = true;
        encryptedCalendar(202001, 202912);
        QVERIFY(QDir().mkpath(BackupFolder()));
        const QString temporary = QDir::tempPath();
        MadeFiles made({dir->path(), BackupFolder()});
        MadeFiles madeInTemporary({temporary});

        QVERIFY(gMaster.PlanSave(20250505, kMarker + QStringLiteral("の日")));
        gMaster.PublicHolidaySet();
        {
            // A sort far bigger than the cache spills to temporary storage.
            FileSession session;
            session.db().exec(QStringLiteral("PRAGMA cache_size = 8"));
            Query sort(session.db(),
                       QStringLiteral("SELECT 内容 || printf('%.500c', 'x') || 日付 AS t "
                                      "FROM Master ORDER BY t DESC"));
            sort.exec();
            QVERIFY(sort.next());
        }
        const QString backup = BackupCalendar();
        // The range change compacts the image: the year cut off leaves no
        // free pages behind.
        const qint64 sizeBefore = QFileInfo(gDataPath).size();
        QVERIFY(gMaster.Update(202101, 202912));
        QVERIFY(QFileInfo(gDataPath).size() < sizeBefore * 95 / 100);

        QCOMPARE(FilesHolding(dir->path(), kMarker), QStringList());
        QCOMPARE(FilesHolding(temporary, kMarker), QStringList());
        // Nothing but the calendar, its compacted copy and the backup, each
        // through a temporary file that only Envelope::Seal writes; no
        // journal, and nothing at all in the temporary folder.
        QStringList names = made.names();
        names.removeIf([](const QString& name) { return name.endsWith(QLatin1String(".part")); });
        QCOMPARE(names, (QStringList{QFileInfo(backup).fileName(), QStringLiteral("Data.vad"),
                                     QStringLiteral("New.vad")}));
        QCOMPARE(madeInTemporary.names(), QStringList());
        // The backup opens with the same keys and holds the entry.
        QVERIFY(IsEncryptedFile(backup));
        QVERIFY(IsIntactCalendar(backup));
    }

    void failedWriteLeavesFileAndMemoryAsTheyWere_data() { AddSpeedPriorityRows(); }

    void failedWriteLeavesFileAndMemoryAsTheyWere()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        encryptedCalendar(202001, 202012);
        QVERIFY(gMaster.PlanSave(20200707, QStringLiteral("前")));
        const QByteArray before = FileDigest(gDataPath);

        // The file may not grow past 4 KiB: writing the new one fails
        // half-way, as on a full disk.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{4096, limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        bool failed = false;
        try {
            gMaster.PlanSave(20200707, QStringLiteral("後"));
        } catch (const EngineError& e) {
            failed = e.file() == gDataPath;
        }
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(failed);
        QCOMPARE(FileDigest(gDataPath), before);
        QVERIFY(!QFile::exists(dir->filePath(QStringLiteral(".Data.vad.part"))));
        QCOMPARE(entryOf(20200707), QStringLiteral("前"));
        QVERIFY(gMaster.PlanSave(20200707, QStringLiteral("再")));
        restart();
        UnlockCalendar(secret("合言葉"));
        QCOMPARE(entryOf(20200707), QStringLiteral("再"));
    }

    void calendarInMemoryThatCannotGrowIsTooLarge()
    {
        // The image in memory at the largest size SQLite lets it grow to
        // (here its present size): "full" is no full disk there.
        gOpenFlag = true;
        encryptedCalendar(202001, 202012);
        const QByteArray before = FileDigest(gDataPath);
        gDatabase.exec(QStringLiteral("PRAGMA max_page_count = 1"));
        std::optional<EngineError::Cause> cause;
        try {
            gMaster.PlanSave(20200707, QString(100000, QChar(u'字')));
        } catch (const EngineError& e) {
            cause = e.cause();
        }
        QCOMPARE(cause, std::optional(EngineError::Cause::TooLarge));
        QCOMPARE(FileDigest(gDataPath), before);
    }

    void damagedFileRecoveryKeyAndPasswordChange()
    {
        encryptedCalendar(202001, 202012);
        restart();
        const QByteArray intact = readFile(gDataPath);
        QByteArray damaged = intact;
        damaged[damaged.size() - 100] = char(damaged[damaged.size() - 100] ^ 1);
        writeFile(gDataPath, damaged);
        try {
            UnlockCalendar(secret("合言葉"));
            QFAIL("opened a damaged file");
        } catch (const EngineError& e) {
            QCOMPARE(e.cause(), EngineError::Cause::Altered);
        }
        // The keys opened: they stay for the backups.
        QVERIFY(HeldCalendarKeys());
        QVERIFY(!gDatabase.isOpen());
        QCOMPARE(readFile(gDataPath), damaged);

        restart();
        writeFile(gDataPath, intact);
        UnlockCalendarWithRecoveryKey(*RecoveryKey::parse(recoveryText.toLower()));
        QVERIFY_THROWS_EXCEPTION(EnvelopeError,
                                 ChangeCalendarPassword(secret("違う"), secret("新しい")));
        QCOMPARE(readFile(gDataPath), intact);
        ChangeCalendarPassword(secret("合言葉"), secret("新しい"), Argon2Kdf::withLimits(1, 8));
        QVERIFY(gMaster.PlanSave(20200202, QStringLiteral("変更後")));

        restart();
        QVERIFY_THROWS_EXCEPTION(EnvelopeError, UnlockCalendar(secret("合言葉")));
        UnlockCalendar(secret("新しい"));
        QCOMPARE(entryOf(20200101), kMarker + QStringLiteral("\r\n一日目"));
        QCOMPARE(entryOf(20200202), QStringLiteral("変更後"));
        restart();
        UnlockCalendarWithRecoveryKey(*RecoveryKey::parse(recoveryText));
        QCOMPARE(entryOf(20200202), QStringLiteral("変更後"));
    }

    void filesBesideTheCalendar()
    {
        encryptedCalendar(202001, 202012);
        // A backup and a recovery file from before encryption was on.
        const QString backup = dir->filePath(QStringLiteral("Data-20191231-120000.vad"));
        QVERIFY(MakeCalendarFile(backup, 201901, 201912));
        QVERIFY(WriteDayEntry(backup, 20190101, kMarker));
        const QString recovery = dir->filePath(QStringLiteral("20200101-0900.txt"));
        writeFile(recovery, kMarker.toUtf8());
        SealFileInPlace(backup);
        SealFileInPlace(recovery);
        SealFileInPlace(recovery);
        QCOMPARE(FilesHolding(dir->path(), kMarker), QStringList());
        QCOMPARE(ReadSealedFile(recovery), kMarker.toUtf8());
        QVERIFY(IsIntactCalendar(backup));

        // A backup from before encryption goes back encrypted.
        QVERIFY(QDir().mkpath(BackupFolder()));
        const QString plainBackup = BackupFolder() + QStringLiteral("/Data-20191231-120000.vad");
        QVERIFY(MakeCalendarFile(plainBackup, 201901, 201912));
        QVERIFY(WriteDayEntry(plainBackup, 20190102, QStringLiteral("戻した")));
        RestoreBackup(plainBackup);
        QVERIFY(IsEncryptedFile(gDataPath));
        QCOMPARE(entryOf(20190102), QStringLiteral("戻した"));
        restart();
        UnlockCalendar(secret("合言葉"));
        QCOMPARE(entryOf(20190102), QStringLiteral("戻した"));
        RestoreBackup(BackupFolder() + QLatin1Char('/') + ListBackups().last());

        // A compacted copy that a cut-off range change left behind is put in
        // place without its keys; unlocking checks it.
        restart();
        QVERIFY(QFile::rename(gDataPath, CompactionTarget()));
        QVERIFY(RecoverCalendarFile());
        UnlockCalendar(secret("合言葉"));
        QCOMPARE(entryOf(20200101), kMarker + QStringLiteral("\r\n一日目"));
    }
};

ZEDU_TEST_MAIN(tst_EncryptedCalendar)
#include "tst_EncryptedCalendar.moc"
