#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Argon2Kdf.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/SecureBytes.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"
#include "ui/frmMain.h"
#include "ui/frmMergedDays.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString kOffer =
    QStringLiteral("別のコンピューターで書かれた暦の写しがあります。取り込みますか？");
const QString kDivider =
    QStringLiteral("――― 別のコンピューターで書かれた内容（2026/12/08 10:15）―――");

// The days both calendars hold before the copy is taken in: this
// computer's text, the other's, and the text after.
const struct
{
    int key;
    const char* here;
    const char* there;
} kDays[] = {
    {20261210, "", "向こうだけの予定"},     // written only there
    {20261211, "一", "一\r\n二"},           // there, a line added
    {20261212, "朝食\r\n昼", "朝\r\n昼食"}, // changed on both sides, different lines
    {20261213, "夜更け", "夜中"},           // changed on both sides, the same line
    {20261214, "こちらだけの予定", ""},     // written only here
};

bool setWrittenAt(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15)),
                            QFileDevice::FileModificationTime);
}

} // namespace

// Conflict copies that sync programs keep beside the calendar, taken in at
// start-up and while the program runs.
class tst_ConflictCopies : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString calendar() const { return dir->filePath(QStringLiteral("Data.vad")); }

    QString entry(const QString& path, int key) const
    {
        return ReadDayField(path, key, QStringLiteral("内容")).toString();
    }

    // A copy written by the other computer, put beside the calendar as
    // `name` in one step, as a sync program does.
    // Encrypted on its own with `password` when one is given.
    QString makeCopy(const QString& name, QString password = QString()) const
    {
        const QString partial = dir->filePath(QStringLiteral("~syncthing~copy.tmp"));
        if (!MakeCalendarFile(partial, 202612, 202612))
            return QString();
        for (const auto& day : kDays)
            if (!WriteDayEntry(partial, day.key, QString::fromUtf8(day.there)))
                return QString();
        if (!password.isEmpty()) {
            gDataPath = partial;
            EncryptCalendar(SecureBytes::takeText(password), Argon2Kdf::withLimits(1, 8));
            ForgetCalendarKeys();
        }
        const QString path = dir->filePath(name);
        return setWrittenAt(partial) && QFile::rename(partial, path) ? path : QString();
    }

    // The calendar's days after the copy was taken in.
    void checkTakenIn(const QString& copy)
    {
        const QStringList merged = {
            QStringLiteral("向こうだけの予定"),
            QStringLiteral("一\r\n二"),
            QStringLiteral("朝食\r\n昼\r\n") + kDivider + QStringLiteral("\r\n朝\r\n昼食"),
            QStringLiteral("夜更け\r\n") + kDivider + QStringLiteral("\r\n夜中"),
            QStringLiteral("こちらだけの予定"),
        };
        for (int i = 0; i < int(std::size(kDays)); ++i)
            QCOMPARE(entry(calendar(), kDays[i].key), merged[i]);
        // Moved into the backup folder under its own name, after a backup
        // of the calendar as it was.
        const QString kept = BackupFolder() + QLatin1Char('/') + QFileInfo(copy).fileName();
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QFile::exists(kept));
        if (!IsEncryptedFile(kept))
            QCOMPARE(entry(kept, 20261212), QStringLiteral("朝\r\n昼食"));
        const QString lastBackup = BackupFolder() + QLatin1Char('/') + ListBackups().last();
        for (const auto& day : kDays)
            QCOMPARE(entry(lastBackup, day.key), QString::fromUtf8(day.here));
        QVERIFY(!ListBackups().contains(QFileInfo(copy).fileName()));
        QVERIFY(window()->mergedDaysWindow());
        QCOMPARE(window()->mergedDaysWindow()->days(), (QList<int>{20261212, 20261213}));
    }

    frmMain* window() const { return MainWindow(); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        setAppFolderForTesting(dir->path());
        Clock::setTodayForTesting(QDate(2026, 12, 9));
        ReleaseInstanceLock();
        QVERIFY(MakeCalendarFile(calendar(), 202612, 202612));
        for (const auto& day : kDays)
            QVERIFY(WriteDayEntry(calendar(), day.key, QString::fromUtf8(day.here)));
    }

    void cleanup()
    {
        delete MainWindow();
        ReleaseInstanceLock();
        setAppFolderForTesting(QString());
        dir.reset();
    }

    void takenInAtStartUp_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        // Which names are copies, of which program, is the name tests'.
        QTest::newRow("Syncthing")
            << QStringLiteral("Data.sync-conflict-20261208-101530-ABCDEF7.vad") << QString();
        QTest::newRow("Dropbox") << QStringLiteral("Data (花子's conflicted copy 2026-12-08).vad")
                                 << QString();
        QTest::newRow("encrypted with a password of its own")
            << QStringLiteral("Data.sync-conflict-20261208-101530-ABCDEF7.vad")
            << QStringLiteral("写しの合言葉");
    }
    void takenInAtStartUp()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        const QString copy = makeCopy(name, password);
        QVERIFY(!copy.isEmpty());
        ScriptedDialogs boxes;
        if (!password.isEmpty()) {
            // A wrong password is said and asked again.
            boxes.password(QStringLiteral("違う"));
            boxes.ok();
            boxes.password(password);
        }
        boxes.yes();
        QCOMPARE(Main(), std::optional<int>());
        QCOMPARE(boxes.pending(), 0);
        const ScriptedDialogs::Box offer = boxes.boxes.last();
        QCOMPARE(offer.kind, Dialogs::Kind::Question);
        QCOMPARE(offer.defaultButton, Dialogs::Yes);
        QCOMPARE(offer.text, kOffer + QLatin1Char('\r') + QDir::toNativeSeparators(copy));
        if (!password.isEmpty()) {
            QCOMPARE(boxes.boxes.size(), 4);
            QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Password);
            QCOMPARE(boxes.boxes[1].text, QStringLiteral("パスワードが違います。"));
        } else {
            QCOMPARE(boxes.boxes.size(), 1);
        }
        QCOMPARE(HeldCalendarKeys(), nullptr);
        checkTakenIn(copy);
    }

    // A copy declined, or one that does not read as a calendar, stays where
    // it is and is not offered again in this run.
    void copyLeftWhereItIs_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::newRow("declined") << true;
        QTest::newRow("not a calendar") << false;
    }
    void copyLeftWhereItIs()
    {
        QFETCH(bool, readable);
        QString copy =
            dir->filePath(QStringLiteral("Data (conflicted copy 2026-12-08 101530).vad"));
        if (readable) {
            copy = makeCopy(QFileInfo(copy).fileName());
        } else {
            QFile garbage(copy);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write("not a calendar at all");
        }
        const QByteArray before = FileDigest(calendar());
        ScriptedDialogs boxes;
        if (readable)
            boxes.no();
        else
            boxes.ok();
        QCOMPARE(Main(), std::optional<int>());
        QCOMPARE(boxes.boxes.size(), 1);
        if (readable) {
            QCOMPARE(boxes.boxes[0].text.section(QLatin1Char('\r'), 0, 0), kOffer);
        } else {
            QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Warning);
            const QStringList lines = boxes.boxes[0].text.split(QLatin1Char('\r'));
            QCOMPARE(lines.value(0), QStringLiteral("別のコンピューターで書かれた暦の写しを読み込め"
                                                    "ませんでした。写しはそのまま残します。"));
            QCOMPARE(lines.value(1), QDir::toNativeSeparators(copy));
        }
        QVERIFY(QFile::exists(copy));
        QCOMPARE(FileDigest(calendar()), before);
        // Not offered again when the folder changes.
        window()->TakeInConflictCopies();
        QCOMPARE(boxes.boxes.size(), 1);
    }

    // A copy whose days the calendar holds already (the other computer took
    // it in as well) is put into the backup folder without a question and
    // without a backup: nothing changes but where the copy lies.
    void copyHoldingNothingNewIsPutAway()
    {
        const QString copy =
            dir->filePath(QStringLiteral("Data.sync-conflict-20261208-101530-ABCDEF7.vad"));
        QVERIFY(QFile::copy(calendar(), copy));
        // The calendar has written more since the copy was made.
        QVERIFY(WriteDayEntry(calendar(), 20261213, QStringLiteral("夜更け\r\nその後")));
        const QByteArray before = FileDigest(calendar());
        ScriptedDialogs boxes;
        QCOMPARE(Main(), std::optional<int>());
        QCOMPARE(boxes.boxes.size(), 0);
        QVERIFY(!QFile::exists(copy));
        QVERIFY(QFile::exists(BackupFolder() + QLatin1Char('/') + QFileInfo(copy).fileName()));
        QCOMPARE(FileDigest(calendar()), before);
        // The backup of the day's first start, and none for the copy.
        QCOMPARE(ListBackups().size(), 1);
    }

    // A copy that arrives while the program runs is offered as soon as the
    // folder has settled.
    void copyArrivingLaterIsOffered()
    {
        ScriptedDialogs boxes;
        QCOMPARE(Main(), std::optional<int>());
        QCOMPARE(boxes.boxes.size(), 0);
        boxes.yes();
        const QString copy =
            makeCopy(QStringLiteral("Data.sync-conflict-20261209-080000-XYZ2345.vad"));
        QVERIFY(!copy.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), 10000);
        checkTakenIn(copy);
    }
};

ZEDU_TEST_MAIN(tst_ConflictCopies)
#include "tst_ConflictCopies.moc"
