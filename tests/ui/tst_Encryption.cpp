// An encrypted calendar in the real window: the 暗号化 command turning the
// encryption on and off and changing the password, the password box at
// start-up, the sealed backups and recovery files read with the calendar's
// keys, and no word typed left on disk in plain text.

#include "app/Main.h"
#include "entries/RecoveryFile.h"
#include "platform/Globals.h"
#include "platform/PasswordBox.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ModalBoxes.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/PasswordPrompts.h"
#include "ui/frmExport.h"
#include "ui/frmImport.h"
#include "ui/frmRecoveryFiles.h"
#include "ui/frmRecoveryKey.h"
#include "ui/frmRestore.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTreeWidget>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString kMarker = QStringLiteral("ひみつの合図");
const QString kPassword = QStringLiteral("合言葉");
const QString kWrong = QStringLiteral("パスワードが違います。");

SecureBytes secret(const QString& text)
{
    QString copy = text;
    return SecureBytes::takeText(copy);
}

QString everyFileFolder()
{
    return qEnvironmentVariable("ZEDU_TEST_SCRATCH");
}

// The files under every folder of the test (data, settings, temporary) that
// begin with the envelope.
QStringList sealedFiles()
{
    QStringList found;
    QDirIterator it(everyFileFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (IsEncryptedFile(path))
            found << QFileInfo(path).fileName();
    }
    found.sort();
    return found;
}

QString entryOf(int day)
{
    QString text;
    return gMaster.PlanLoad(day, text) ? text : QStringLiteral("(not stored)");
}

// Answers the recovery key window, keeping a copy of the key it showed (the
// command wipes its own).
std::function<void(QWidget*)> keyWindowInto(QString& key)
{
    return [&key](QWidget* box) {
        auto* shown = qobject_cast<frmRecoveryKey*>(box);
        QVERIFY(shown);
        const QString text = shown->txtRecoveryKey->text();
        key = QString(text.constData(), text.size());
        shown->cmdClose->click();
    };
}

// Watches folders (inotify) for every file created or renamed into them
// while it runs. Each is opened as it appears and read at the end, so that
// what it held last is seen even after it was renamed or removed.
class FolderWatch
{
public:
    explicit FolderWatch(const QStringList& folders)
    {
        for (const QString& folder : folders)
            mFolders[inotify_add_watch(mInotify, QFile::encodeName(folder).constData(),
                                       IN_CREATE | IN_MOVED_TO)] = folder;
        mThread = std::thread([this] {
            pollfd ready{mInotify, POLLIN, 0};
            for (bool last = false; !last;) {
                last = mStopping; // one more round for what came before the stop
                ::poll(&ready, 1, 5);
                alignas(inotify_event) char buffer[64 * 1024];
                for (ssize_t length; (length = ::read(mInotify, buffer, sizeof buffer)) > 0;)
                    for (ssize_t at = 0; at < length;) {
                        inotify_event event;
                        std::memcpy(&event, buffer + at, sizeof event);
                        const QString path = mFolders.value(event.wd) + u'/' +
                                             QFile::decodeName(buffer + at + sizeof event);
                        at += ssize_t(sizeof event + event.len);
                        mOpened.append(
                            {path, ::open(QFile::encodeName(path).constData(), O_RDONLY)});
                    }
            }
        });
    }
    ~FolderWatch()
    {
        if (mThread.joinable())
            stop();
    }
    // Stops; every file that appeared with what it held last (nothing for
    // one gone before it could be opened).
    QList<QPair<QString, QByteArray>> stop()
    {
        mStopping = true;
        mThread.join();
        ::close(mInotify);
        QList<QPair<QString, QByteArray>> seen;
        for (const auto& [path, fd] : mOpened) {
            QByteArray contents;
            char chunk[4096];
            for (ssize_t n; fd >= 0 && (n = ::pread(fd, chunk, sizeof chunk, contents.size())) > 0;)
                contents.append(chunk, n);
            ::close(fd);
            seen.append({path, contents});
        }
        return seen;
    }

private:
    int mInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QHash<int, QString> mFolders;
    QList<QPair<QString, int>> mOpened;
    std::atomic<bool> mStopping{false};
    std::thread mThread;
};

// Whether `password` and `recoveryKey` open the file's keys: "+" or "-" each.
QString opensWith(const QString& path, const QString& password, const QString& recoveryKey)
{
    QFile file(path);
    QString opens;
    for (const bool byKey : {false, true}) {
        try {
            if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
                return u"(missing)"_s;
            byKey
                ? void(EnvelopeKeys::unlockWithRecoveryKey(file, *RecoveryKey::parse(recoveryKey)))
                : void(EnvelopeKeys::unlock(file, secret(password)));
            opens += u'+';
        } catch (const EnvelopeError&) {
            opens += u'-';
        }
    }
    return opens;
}

} // namespace

class tst_Encryption : public MainWindowHarness
{
    Q_OBJECT

    // Encrypts the test's calendar (made when missing) as the command would,
    // and forgets its keys, as a program that ended. Returns the recovery
    // key.
    QString encryptedCalendar()
    {
        if (!QFile::exists(dataPath()))
            MakeCalendarFile(dataPath(), 202612, 203112);
        gDataPath = dataPath();
        gOpenFlag = false;
        const QString key = EncryptCalendar(secret(kPassword));
        ForgetCalendarKeys();
        return key;
    }

    void startEncrypted()
    {
        boxes->password(kPassword);
        start();
        boxes->clear();
    }

private slots:
    void initTestCase() { Argon2Kdf::setNewFileLimitsForTesting(1, 8); }

    void turningOnAndOffKeepsEveryRow_data()
    {
        QTest::addColumn<int>("keptChoice");
        QTest::newRow("files from before sealed") << 0;
        QTest::newRow("files from before deleted") << 1;
        QTest::newRow("files from before left") << 2;
    }
    void turningOnAndOffKeepsEveryRow()
    {
        QFETCH(int, keptChoice);
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("前からの予定")));
        QVERIFY(SqlPeek(dataPath())
                    .exec(QStringLiteral("UPDATE Master SET 平日 = 0 WHERE 日付 % 100 = 11")));
        const QString everyRow = QStringLiteral("SELECT * FROM Master ORDER BY 日付");
        QList<QVariantList> rows = SqlPeek(dataPath()).rows(everyRow);
        // A backup and a recovery file from before, the user told of both.
        gDataPath = dataPath();
        const QString backup = BackupCalendar();
        const QString recovery = WriteRecoveryFile(20261208, kMarker);
        MarkRecoveryFilesReported({recovery});
        start();
        QVERIFY(!menuItem("mnuEncrypt")->isChecked());

        boxes->password(kPassword);
        QString key;
        AnswerModalBoxes({[&](QWidget* box) {
            auto* shown = qobject_cast<frmRecoveryKey*>(box);
            QVERIFY(shown);
            // A copy of its own: the command wipes the text it showed.
            const QString text = shown->txtRecoveryKey->text();
            key = QString(text.constData(), text.size());
            shown->cmdClose->click();
        }});
        boxes->choose(keptChoice);
        trigger("mnuEncrypt");
        QVERIFY(menuItem("mnuEncrypt")->isChecked());
        QCOMPARE(boxes->boxes.size(), 2);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Password);
        QCOMPARE(boxes->boxes[0].text, EncryptionExplanation());
        QVERIFY(boxes->boxes[0].confirm);
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Choice);
        QVERIFY(boxes->boxes[1].text.startsWith(
            QStringLiteral("暗号化する前に作ったバックアップと回復用ファイルが 2 個あります。")));
        QVERIFY2(
            QRegularExpression(QStringLiteral("^([0-9A-HJKMNP-TV-Z]{4}-){7}[0-9A-HJKMNP-TV-Z]{4}$"))
                .match(key)
                .hasMatch(),
            qPrintable(key));
        QVERIFY(IsEncryptedFile(dataPath()));
        const QString sealedRecovery = recovery.chopped(4) + QStringLiteral(".enc");
        const struct
        {
            bool backupSealed, backupThere, plainRecoveryThere, sealedRecoveryThere;
        } expected[] = {
            {true, true, false, true}, {false, false, false, false}, {false, true, true, false}};
        QCOMPARE(IsEncryptedFile(backup), expected[keptChoice].backupSealed);
        QCOMPARE(QFile::exists(backup), expected[keptChoice].backupThere);
        QCOMPARE(QFile::exists(recovery), expected[keptChoice].plainRecoveryThere);
        QCOMPARE(QFile::exists(sealedRecovery), expected[keptChoice].sealedRecoveryThere);
        QCOMPARE(FilesHolding(everyFileFolder(), kMarker).isEmpty(), keptChoice != 2);

        // Typed while encrypted, and saved before the encryption goes.
        entryBox()->moveCursor(QTextCursor::End);
        typeEntry(QStringLiteral("\n追記"));
        boxes->clear();
        boxes->choose(1);
        boxes->password(QStringLiteral("違う"));
        boxes->ok();
        boxes->password(kPassword);
        boxes->yes();
        boxes->ok();
        trigger("mnuEncrypt");
        QCOMPARE(boxes->texts().mid(2),
                 (QStringList{kWrong,
                              QStringLiteral("暗号化を解除します。\r現在のパスワードを入力し"
                                             "て下さい。"),
                              QStringLiteral("暗号化を解除すると、暦ファイルとそのバックアップ、回"
                                             "復用ファイルは、暗号化されずに保存されます。\r解除し"
                                             "ますか？"),
                              QStringLiteral("暗号化を解除しました。")}));
        QVERIFY(!menuItem("mnuEncrypt")->isChecked());
        QVERIFY(!HeldCalendarKeys());
        QVERIFY(!IsEncryptedFile(dataPath()));
        rows[6][3] = QStringLiteral("前からの予定\r\n追記");
        QCOMPARE(SqlPeek(dataPath()).rows(everyRow), rows);
        if (keptChoice == 0) {
            QVERIFY(IsIntactCalendar(backup));
            QCOMPARE(ReadRecoveryFile(recovery).text, kMarker);
            QVERIFY(!QFile::exists(sealedRecovery));
        }
        QCOMPARE(sealedFiles(), QStringList());
    }

    void returnLeadsFromTheNewPasswordToItsConfirmation()
    {
        start();
        // The real box, typed into as a user would; the boxes after it are
        // the script's again.
        Dialogs::setProvider(nullptr);
        const auto scripted = qScopeGuard([this] { Dialogs::setProvider(boxes.get()); });
        AnswerModalBoxes({[&](QWidget* shown) {
                              auto* box = qobject_cast<PasswordBox*>(shown);
                              QVERIFY(box);
                              // A check that fails leaves no box waiting.
                              const auto close = qScopeGuard([box] {
                                  if (box->isVisible())
                                      box->reject();
                              });
                              QTRY_COMPARE(QApplication::focusWidget(), box->txtPassword);
                              for (QLineEdit* field : {box->txtPassword, box->txtPasswordAgain}) {
                                  QCOMPARE(QApplication::focusWidget(), field);
                                  QTest::keyClicks(field, u"secret-word"_s);
                                  Dialogs::setProvider(boxes.get());
                                  QTest::keyClick(field, Qt::Key_Return);
                              }
                          },
                          [&](QWidget* shown) {
                              auto* key = qobject_cast<frmRecoveryKey*>(shown);
                              QVERIFY(key);
                              key->cmdClose->click();
                          }});
        boxes->choose(0); // the day's first backup, sealed
        trigger("mnuEncrypt");
        QVERIFY(menuItem("mnuEncrypt")->isChecked());
        QFile file(dataPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        EnvelopeKeys::unlock(file, secret(u"secret-word"_s));
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("damage");
        // The boxes in turn: P the password box, K the recovery key's, N a
        // new password's, with what is typed ("-" cancels, "*" presses
        // 回復キーを使う); W, I, Q a warning, information or question that
        // begins with the text given, answered OK or Yes.
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("runs");
        const QString damaged = u"暦ファイルが壊れているか、書き換えられています。"_s;
        QTest::newRow("password") << u""_s << QStringList{u"P合言葉"_s} << true;
        QTest::newRow("wrong, then right")
            << u""_s << QStringList{u"Pちがう"_s, u"W"_s + kWrong, u"P合言葉"_s} << true;
        QTest::newRow("cancelled") << u""_s << QStringList{u"P-"_s} << false;
        QTest::newRow("recovery key, then a new password")
            << u""_s
            << QStringList{u"P*"_s, u"K$KEY"_s, u"N新しい"_s,
                           u"Iパスワードを変更しました。回復キーは変わりません。"_s}
            << true;
        QTest::newRow("wrong and malformed recovery keys, then cancelled")
            << u""_s << QStringList{u"P*"_s,
                                    u"K0000-0000-0000-0000-0000-0000-0000-0000"_s,
                                    u"W回復キーが違います。"_s,
                                    u"Kabc"_s,
                                    u"W回復キーは英字と数字の 32 文字です。"_s,
                                    u"K-"_s,
                                    u"P-"_s}
            << false;
        QTest::newRow("damaged header")
            << u"header"_s << QStringList{u"W暦ファイルを開くことができません。\r"_s + damaged}
            << false;
        QTest::newRow("unknown version")
            << u"version"_s
            << QStringList{u"W暦ファイルを開くことができません。\rこの暦ファイルの暗号化の形式"
                           "（バージョン 2）には対応していません。\r"_s}
            << false;
        QTest::newRow("altered contents: the backup offered")
            << u"contents"_s
            << QStringList{u"P合言葉"_s, u"W"_s + StoreErrorText(QString()) + damaged,
                           u"Q最新のバックアップ"_s, u"Iバックアップから復元しました。"_s}
            << true;
        QTest::newRow("altered contents, no backup: a new plain calendar")
            << u"seal"_s
            << QStringList{u"P合言葉"_s,
                           u"W"_s + StoreErrorText(QString()) + damaged,
                           u"Q新しい暦を作って始めますか？"_s,
                           u"Q暦ファイルを作成します。"_s,
                           u"Q本当に"_s,
                           u"I新しい暦を作りました。"_s}
            << true;
    }
    void startUp()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, boxes);
        QFETCH(bool, runs);
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("今日の予定")));
        const QString key = encryptedCalendar();
        if (damage == QLatin1String("contents")) {
            // A backup of the good calendar first.
            UnlockCalendar(secret(kPassword));
            BackupCalendar();
            gDatabase.close();
            ForgetCalendarKeys();
        }
        QByteArray bytes = readFile(dataPath());
        // Byte 8 is the version, 30 lies in the header's salt, the last one
        // in the seal.
        const int at = damage == QLatin1String("version")  ? 8
                       : damage == QLatin1String("header") ? 30
                                                           : int(bytes.size()) - 1;
        if (!damage.isEmpty())
            bytes[at] = damage == QLatin1String("version") ? char(2) : char(bytes[at] ^ 1);
        writeFile(dataPath(), bytes);
        const QByteArray digest = FileDigest(dataPath());
        const auto files = [this] {
            return QDir(folder->path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList filesBefore = files();

        for (const QString& box : boxes) {
            const QString typed = box.mid(1) == QLatin1String("$KEY")
                                      ? key.toLower().replace(QLatin1Char('-'), QLatin1Char(' '))
                                      : box.mid(1);
            if (box.front() == u'Q')
                this->boxes->yes();
            else if (QStringLiteral("WI").contains(box.front()))
                this->boxes->ok();
            else if (typed == QLatin1String("-"))
                this->boxes->cancel();
            else if (typed == QLatin1String("*"))
                this->boxes->alternative();
            else if (box.front() == u'K')
                this->boxes->input(typed);
            else
                this->boxes->password(typed);
        }
        QCOMPARE(Main(), runs ? std::nullopt : std::optional<int>(kStartupEnded));
        QCOMPARE(this->boxes->boxes.size(), boxes.size());
        const QString prompts[] = {UnlockPrompt(), u"回復キーを入力して下さい。"_s,
                                   u"回復キーで暦ファイルを開きました。"_s};
        for (int i = 0; i < boxes.size(); ++i) {
            const ScriptedDialogs::Box& shown = this->boxes->boxes[i];
            const int kind = int(QStringLiteral("PKNWIQ").indexOf(boxes[i].front()));
            const Dialogs::Kind kinds[] = {Dialogs::Kind::Password,    Dialogs::Kind::Input,
                                           Dialogs::Kind::Password,    Dialogs::Kind::Warning,
                                           Dialogs::Kind::Information, Dialogs::Kind::Question};
            QCOMPARE(shown.kind, kinds[kind]);
            QCOMPARE(shown.title, QStringLiteral("Zedu"));
            QVERIFY2(shown.text.startsWith(kind < 3 ? prompts[kind] : boxes[i].mid(1)),
                     qPrintable(shown.text));
            QCOMPARE(shown.confirm, kind == 2);
            if (kind == 0)
                QCOMPARE(shown.alternative, QStringLiteral("回復キーを使う"));
        }
        if (!runs) {
            // Nothing read into, written or made.
            QVERIFY(!window());
            QCOMPARE(FileDigest(dataPath()), digest);
            QCOMPARE(files(), filesBefore);
            return;
        }
        if (damage == QLatin1String("seal")) {
            // The file kept as it was; nothing of the new one is sealed.
            const QStringList aside =
                QDir(BackupFolder()).entryList({QStringLiteral("*-damaged.vad")}, QDir::Files);
            QCOMPARE(aside.size(), 1);
            QCOMPARE(FileDigest(BackupFolder() + QLatin1Char('/') + aside[0]), digest);
            QVERIFY(!menuItem("mnuEncrypt")->isChecked());
            QVERIFY(!IsEncryptedFile(dataPath()));
            QVERIFY(!IsEncryptedFile(BackupFolder() + QLatin1Char('/') + ListBackups().last()));
            QCOMPARE(entryBox()->toPlainText(), QString());
            return;
        }
        QVERIFY(menuItem("mnuEncrypt")->isChecked());
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("今日の予定"));
        // The first start of the day made its backup, sealed too.
        QVERIFY(IsEncryptedFile(BackupFolder() + QLatin1Char('/') + ListBackups().last()));
        if (boxes.contains(QStringLiteral("N新しい"))) {
            QFile file(dataPath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            EnvelopeKeys::unlock(file, secret(QStringLiteral("新しい")));
        }
    }

    void passwordChangeAndSealedFiles()
    {
        const QString key = encryptedCalendar();
        startEncrypted();
        const QString backup = BackupFolder() + QLatin1Char('/') + ListBackups().last();
        const QString kept = WriteRecoveryFile(20261210, QStringLiteral("書けなかった\r\n二行目"));
        QVERIFY(kept.endsWith(QLatin1String(".enc")));
        boxes->choose(0);
        boxes->password(QStringLiteral("違う"));
        boxes->ok();
        boxes->password(kPassword);
        boxes->password(QStringLiteral("新しい合言葉"));
        boxes->ok();
        trigger("mnuEncrypt");
        QCOMPARE(boxes->boxes[0].buttons,
                 (QStringList{u"パスワードの変更"_s, u"暗号化の解除"_s, u"回復用ファイルを読む"_s,
                              u"鍵を新しくする"_s, u"キャンセル"_s}));
        QCOMPARE(
            boxes->texts().mid(1),
            (QStringList{u"現在のパスワードを入力して下さい。"_s, kWrong,
                         u"現在のパスワードを入力して下さい。"_s,
                         u"これより前に写した暦ファイルのコピーは前のパスワードで開けるままなの"
                         "で、前のパスワードを知る人を締め出すには、代わりに「鍵を新しくする」"
                         "を使って下さい。\r\r新しいパスワードを入力して下さい。"_s,
                         u"パスワードを変更しました。回復キーは変わりません。"_s}));
        QVERIFY(boxes->boxes[4].confirm);
        // The calendar, its backup and the recovery file open with the new
        // password only; the recovery key still opens them.
        for (const QString& path : {dataPath(), backup, kept}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            EnvelopeKeys::unlock(file, secret(QStringLiteral("新しい合言葉")));
            QVERIFY_THROWS_EXCEPTION(EnvelopeError, EnvelopeKeys::unlock(file, secret(kPassword)));
            EnvelopeKeys::unlockWithRecoveryKey(file, *RecoveryKey::parse(key));
        }
        typeEntry(QStringLiteral("変更後"));
        clickDay(8);
        QCOMPARE(entryOf(20261207), QStringLiteral("変更後"));

        // The recovery file in its window and the backup in the restore
        // window, read with the keys held.
        QStringList seen;
        AnswerModalBoxes({[&](QWidget* box) {
                              auto* reader = qobject_cast<frmRecoveryFiles*>(box);
                              QVERIFY(reader);
                              seen << reader->lstFiles->topLevelItem(0)->text(0)
                                   << reader->txtEntry->toPlainText();
                              reader->cmdClose->click();
                          },
                          [&](QWidget* box) {
                              auto* chooser = qobject_cast<frmRestore*>(box);
                              QVERIFY(chooser);
                              const QTreeWidgetItem* row = chooser->lstBackups->topLevelItem(0);
                              seen << row->text(1) << row->text(2);
                              chooser->cmdCancel->click();
                          }});
        boxes->choose(2);
        trigger("mnuEncrypt");
        trigger("mnuRestore");
        QCOMPARE(seen, (QStringList{u"2026/12/10"_s, u"書けなかった\n二行目"_s,
                                    u"2026/12～2031/12"_s, u"0"_s}));
    }

    void noWordTypedReachesDisk_data()
    {
        QTest::addColumn<bool>("encrypted");
        QTest::newRow("encrypted") << true;
        QTest::newRow("plain: as before, no envelope") << false;
    }
    void noWordTypedReachesDisk()
    {
        QFETCH(bool, encrypted);
        if (encrypted) {
            encryptedCalendar();
            startEncrypted();
        } else {
            start();
        }
        window()->setQuietSaveDelay(10);
        // The quiet save while typing.
        typeEntry(kMarker + QStringLiteral("一"));
        QTRY_COMPARE(entryOf(20261207), kMarker + QStringLiteral("一"));
        // A day change.
        clickDay(8);
        typeEntry(kMarker + QStringLiteral("二"));
        clickDay(9);
        QCOMPARE(entryOf(20261208), kMarker + QStringLiteral("二"));
        // A bulk command with its backup.
        boxes->input(kMarker + QStringLiteral("の日"));
        trigger("mnuPlanAll");
        QCOMPARE(entryOf(20271209), kMarker + QStringLiteral("の日\r\n"));
        const QStringList backups = ListBackups();
        QCOMPARE(backups.size(), 2);

        QStringList expectedSealed;
        if (encrypted)
            expectedSealed = QStringList{QStringLiteral("Data.vad")} + backups;
        expectedSealed.sort();
        QCOMPARE(sealedFiles(), expectedSealed);
        const QStringList holding = FilesHolding(everyFileFolder(), kMarker);
        if (encrypted)
            QCOMPARE(holding, QStringList());
        else
            QVERIFY(holding.contains(dataPath()));
    }

    void exportAsksFirstAndImportWrites()
    {
        encryptedCalendar();
        startEncrypted();
        typeEntry(kMarker);
        const QString file = folder->filePath(QStringLiteral("diary.txt"));
        for (const bool yes : {false, true}) {
            trigger("mnuExport");
            auto* window = this->window()->findChild<frmExport*>();
            QVERIFY(window);
            window->findChild<QLineEdit*>(QStringLiteral("txtTarget"))->setText(file);
            window->findChild<QRadioButton*>(QStringLiteral("optEntryDays"))->setChecked(true);
            boxes->clear();
            if (yes) {
                boxes->yes();
                boxes->ok();
            } else {
                boxes->no();
            }
            window->findChild<QPushButton*>(QStringLiteral("cmdExport"))->click();
            QCOMPARE(boxes->boxes[0].text,
                     QStringLiteral("暗号化されていないファイルに書き出します。よろしいですか？"));
            QCOMPARE(boxes->boxes[0].defaultButton, Dialogs::No);
            QCOMPARE(QFile::exists(file), yes);
            window->close();
            QTRY_VERIFY(!this->window()->findChild<frmExport*>());
        }
        QCOMPARE(readFile(file),
                 (QStringLiteral("2026/12/07(月)\n") + kMarker + QStringLiteral("\n")).toUtf8());
        QFile::remove(file);

        // Days taken in from a file go into the encrypted calendar.
        const QString other = folder->filePath(QStringLiteral("other.csv"));
        writeFile(
            other,
            QStringLiteral("日付,曜日,平日,内容\r\n20261210,4,1,\"取り込んだ合図\"\r\n").toUtf8());
        trigger("mnuImport");
        auto* importing = window()->findChild<frmImport*>();
        QVERIFY(importing);
        importing->findChild<QLineEdit*>(QStringLiteral("txtSource"))->setText(other);
        importing->findChild<QPushButton*>(QStringLiteral("cmdRead"))->click();
        boxes->ok();
        importing->findChild<QPushButton*>(QStringLiteral("cmdImport"))->click();
        QCOMPARE(entryOf(20261210), QStringLiteral("取り込んだ合図"));
        QFile::remove(other);
        QCOMPARE(FilesHolding(everyFileFolder(), QStringLiteral("取り込んだ合図")), QStringList());
        QCOMPARE(FilesHolding(everyFileFolder(), kMarker), QStringList());
    }

    void fullDiskKeepsTheFileAndTheEntry()
    {
        // The calendar's folder a small file system of its own, filled up.
        const QString disk = folder->path();
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=2m") != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount = qScopeGuard([&] {
            stop();
            gDatabase.close();
            ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
        });
        encryptedCalendar();
        startEncrypted();
        QFile filler(disk + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096) {
        }
        filler.close();
        const QByteArray before = FileDigest(dataPath());

        typeEntry(kMarker);
        boxes->ok();
        clickDay(8);
        QCOMPARE(boxes->boxes.size(), 1);
        QCOMPARE(boxes->boxes[0].text.section(QLatin1Char('\r'), 0, 1),
                 StoreErrorText(QString()) + QStringLiteral("ディスクの空き容量が足りません。"));
        QCOMPARE(FileDigest(dataPath()), before);
        QVERIFY(!QFile::exists(disk + QStringLiteral("/.Data.vad.part")));
        // The entry stays in the box and in a sealed recovery file.
        QCOMPARE(curDate(), 20261207);
        QCOMPARE(entryBox()->toPlainText(), kMarker);
        const QStringList kept = ListRecoveryFiles();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(ReadRecoveryFile(kept[0]).text, kMarker);
        QCOMPARE(FilesHolding(everyFileFolder(), kMarker), QStringList());
        // Room again: the next save writes it.
        QVERIFY(filler.remove());
        clickDay(8);
        QCOMPARE(curDate(), 20261208);
        QCOMPARE(entryOf(20261207), kMarker);
        QCOMPARE(ListRecoveryFiles(), QStringList());
    }

    void resealingKeepsTimesAndFreshKeysShutOutTheOldOnes()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        gDataPath = dataPath();
        gOpenFlag = false;
        // Backups of other days: one of an earlier version, and one whose
        // name holds no real time, which the restore list shows by its file's.
        for (const QString& name :
             {u"Data-20261120-070000.vad"_s, u"Data-20261201-080000-000001.vad"_s,
              u"Data-20261299-000000-000002.vad"_s}) {
            QVERIFY(QFile::rename(BackupCalendar(), BackupFolder() + u'/' + name));
            QFile file(BackupFolder() + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadOnly) &&
                    file.setFileTime(QDateTime(QDate(2026, 12, 2), QTime(9, 30)),
                                     QFileDevice::FileModificationTime));
        }
        // The restore list's times, and each backup's modification time.
        const auto listed = [] {
            QStringList rows;
            for (const BackupInfo& backup : ReadBackupInfos())
                rows << frmRestore::MadeColumnText(backup) + u' ' +
                            QString::number(backup.readable) + u' ' +
                            QFileInfo(backup.path).lastModified().toString(Qt::ISODateWithMs);
            return rows;
        };
        start(); // the day's backup, the fourth
        const QStringList before = listed();
        QCOMPARE(before.size(), 4);
        QVERIFY2(before[1].startsWith(u"2026/12/02 09:30:00 1"_s), qPrintable(before[1]));
        const auto resealed = [&](bool sealed) {
            QCOMPARE(boxes->pending(), 0);
            QCOMPARE(menuItem("mnuEncrypt")->isChecked(), sealed);
            QCOMPARE(listed(), before);
            for (const QString& name : ListBackups())
                QCOMPARE(IsEncryptedFile(BackupFolder() + u'/' + name), sealed);
        };

        QString oldKey, newKey;
        boxes->password(kPassword);
        AnswerModalBoxes({keyWindowInto(oldKey)});
        boxes->choose(0); // the backups from before sealed
        trigger("mnuEncrypt");
        resealed(true);
        boxes->choose(0); // パスワードの変更
        boxes->password(kPassword);
        boxes->password(u"二番目"_s);
        boxes->ok();
        trigger("mnuEncrypt");
        resealed(true);
        const QString copy = folder->filePath(u"copy.vad"_s);
        QVERIFY(QFile::copy(dataPath(), copy));
        const QString recovery = WriteRecoveryFile(20261210, u"書けなかった"_s);
        typeEntry(kMarker); // saved before the keys change

        boxes->clear();
        boxes->choose(3); // 鍵を新しくする
        boxes->password(u"二番目"_s);
        boxes->password(u"三番目"_s);
        AnswerModalBoxes({keyWindowInto(newKey)});
        boxes->ok();
        trigger("mnuEncrypt");
        resealed(true);
        QVERIFY(boxes->boxes[2].confirm);
        QVERIFY(boxes->texts().last().startsWith(u"鍵を新しくしました。"_s));
        clickDay(8);
        QCOMPARE(entryOf(20261207), kMarker);
        // Neither the old password nor the old recovery key opens what is
        // written now; a copy made before still opens with them only.
        const struct
        {
            QString path, withOld, withNew;
        } files[] = {{dataPath(), u"--"_s, u"++"_s},
                     {BackupFolder() + u'/' + ListBackups().first(), u"--"_s, u"++"_s},
                     {recovery, u"--"_s, u"++"_s},
                     {copy, u"++"_s, u"--"_s}};
        for (const auto& file : files) {
            QCOMPARE(opensWith(file.path, u"二番目"_s, oldKey), file.withOld);
            QCOMPARE(opensWith(file.path, u"三番目"_s, newKey), file.withNew);
        }
        QCOMPARE(ReadRecoveryFile(recovery).text, u"書けなかった"_s);

        boxes->choose(1); // 暗号化の解除
        boxes->password(u"三番目"_s);
        boxes->yes();
        boxes->ok();
        trigger("mnuEncrypt");
        resealed(false);
    }

    void noPlainFileBesideTheCalendar_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("a plain backup restored") << u"restore plain"_s;
        QTest::newRow("a sealed backup restored") << u"restore sealed"_s;
        QTest::newRow("range change") << u"range"_s;
    }
    void noPlainFileBesideTheCalendar()
    {
        QFETCH(QString, command);
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, kMarker));
        gDataPath = dataPath();
        gOpenFlag = false;
        BackupCalendar(); // plain, from before the encryption
        encryptedCalendar();
        startEncrypted();
        BackupCalendar(); // sealed
        typeEntry(u"今の予定"_s);

        FolderWatch watch({folder->path(), BackupFolder(), QDir::tempPath()});
        if (command == u"range"_s) {
            boxes->input(u"202612"_s);
            boxes->input(u"203012"_s);
            boxes->yes();
            trigger("mnuDateRange");
        } else {
            AnswerModalBoxes({[&](QWidget* box) {
                auto* chooser = qobject_cast<frmRestore*>(box);
                QVERIFY(chooser);
                QTreeWidget* list = chooser->lstBackups; // the one made last first
                list->setCurrentItem(list->topLevelItem(
                    command == u"restore sealed"_s ? 0 : list->topLevelItemCount() - 1));
                chooser->cmdRestore->click();
            }});
            boxes->yes();
            boxes->ok();
            trigger("mnuRestore");
        }
        const auto seen = watch.stop();
        QCOMPARE(boxes->pending(), 0);
        QCOMPARE(gMaster.DateBottom(), command == u"range"_s ? 20301231 : 20311231);
        QCOMPARE(entryBox()->toPlainText(),
                 command == u"range"_s ? u"今の予定"_s + kMarker : kMarker);
        // Every file that appeared meanwhile: sealed, none in the temporary
        // folder, no journal.
        QStringList names, plain;
        for (const auto& [path, contents] : seen) {
            names << QFileInfo(path).fileName();
            if (QFileInfo(path).absolutePath() == QDir::tempPath() ||
                path.endsWith(u"-journal"_s) || contents.contains("SQLite format 3") ||
                contents.contains(kMarker.toUtf8()))
                plain << path;
        }
        QVERIFY2(plain.isEmpty(), qPrintable(plain.join(u' ')));
        QVERIFY2(names.contains(u"Data.vad"_s), qPrintable(names.join(u' ')));
        QVERIFY(IsEncryptedFile(dataPath()));
    }

    void printedRecoveryKey()
    {
        const QString pdf = folder->filePath(QStringLiteral("key.pdf"));
        const QString key = QStringLiteral("7KQ2-M9XD-ABCD-EFGH-JKMN-PQRS-TVWX-YZ01");
        {
            QPdfWriter writer(pdf);
            frmRecoveryKey::PrintKey(writer, key, QStringLiteral("/家/Data.vad"));
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(text.waitForFinished(), "pdftotext is missing: scripts/deps.sh installs it");
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(printed.contains(key) && printed.contains(QStringLiteral("/家/Data.vad")) &&
                     printed.contains(QStringLiteral("2026/12/07")),
                 qPrintable(printed));
    }
};

ZEDU_TEST_MAIN(tst_Encryption)
#include "tst_Encryption.moc"
