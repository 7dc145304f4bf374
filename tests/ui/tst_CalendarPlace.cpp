// 暦ファイルの場所 in the real window: the calendar moved into another folder
// and back, plain and encrypted, the window going on with it and the old
// place emptied (the copy and its check: tst_CalendarMove); another calendar
// opened (the entry saved first, the window
// showing and searching the new one, an encrypted one's password asked for,
// the old one back when it is not given); and the mark beside the calendar
// that warns a start of another computer that has it open.

#include "app/Main.h"
#include "entries/RecoveryFile.h"
#include "platform/CalendarPath.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/InUseMarker.h"
#include "platform/RegControl.h"
#include "store/Argon2Kdf.h"
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
#include "ui/frmCalendarPlace.h"
#include "ui/frmSearch.h"
#include "view/FlexGrid.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSysInfo>

#include <cstdio>

namespace {

const QString kPassword = QStringLiteral("合言葉");

SecureBytes secret(const QString& text)
{
    QString copy = text;
    return SecureBytes::takeText(copy);
}

QString entryOf(int day)
{
    QString text;
    return gMaster.PlanLoad(day, text) ? text : QStringLiteral("(not stored)");
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

class tst_CalendarPlace : public MainWindowHarness
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> synced;

    QString syncedPath() const { return synced->filePath(QStringLiteral("Data.vad")); }

    // Makes `path` an encrypted calendar, its keys forgotten as by a
    // program that ended.
    void encrypt(const QString& path)
    {
        gDataPath = path;
        EncryptCalendar(secret(kPassword), Argon2Kdf::withLimits(1, 8));
        gDatabase.close();
        ForgetCalendarKeys();
    }

    // Runs 暦ファイルの場所 and presses `button` in its window.
    void place(const char* button)
    {
        AnswerModalBoxes({[button](QWidget* box) {
            auto* window = qobject_cast<frmCalendarPlace*>(box);
            QVERIFY(window);
            window->findChild<QPushButton*>(QLatin1String(button))->click();
        }});
        trigger("mnuCalendarPlace");
    }

    int colourOf(int day) const
    {
        const QPoint cell = cellOf(day);
        return grid()->CellForeColorAt(cell.y(), cell.x());
    }

    QStringList foundDays(const QString& words)
    {
        frmSearch* search = window()->searchWindow();
        search->findChild<QLineEdit*>(QStringLiteral("txtFind"))->setText(words);
        QStringList days;
        for (const int key : search->search().dayKeys())
            days << QString::number(key);
        return days;
    }

private slots:
    void movedThereAndBack_data()
    {
        QTest::addColumn<bool>("encrypted");
        QTest::newRow("plain") << false;
        QTest::newRow("encrypted") << true;
    }
    void movedThereAndBack()
    {
        QFETCH(bool, encrypted);
        synced = std::make_unique<QTemporaryDir>();
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261224, QStringLiteral("前からの予定")));
        if (encrypted) {
            encrypt(dataPath());
            boxes->password(kPassword);
        }
        start();
        QVERIFY(QFileInfo::exists(BackupFolder()));
        const QPointer<frmMain> theWindow = window();
        // Typed and not yet saved: it goes with the calendar.
        typeEntry(QStringLiteral("移す前に書いた"));
        boxes->clear();

        const struct
        {
            QString from;
            QString to;
        } legs[] = {{dataPath(), syncedPath()}, {syncedPath(), dataPath()}};
        for (const auto& leg : legs) {
            const QString from = QFileInfo(leg.from).absolutePath();
            const QString to = QFileInfo(leg.to).absolutePath();
            boxes->folder(to);
            boxes->yes();
            boxes->ok();
            place("cmdMove");
            QCOMPARE(boxes->boxes.size(), 3);
            QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Folder);
            QCOMPARE(boxes->boxes[0].initial, from);
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("暦ファイルとバックアップを、次のフォルダーへ移します。\r") +
                         native(to) + QStringLiteral("\r移して良いですか？"));
            QCOMPARE(boxes->texts()[2],
                     QStringLiteral("暦ファイルを移しました。\r") + native(leg.to));
            boxes->clear();

            // The same window on the moved calendar, no password asked.
            QCOMPARE(window(), theWindow.data());
            QCOMPARE(gDataPath, leg.to);
            QCOMPARE(RememberedCalendarPath(), leg.to);
            QCOMPARE(IsEncryptedFile(leg.to), encrypted);
            QVERIFY(!ListBackups().isEmpty());
            // The old place emptied, the mark moved along.
            QVERIFY(QDir(from).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
            QCOMPARE(InUseMarker(leg.to, QStringLiteral("elsewhere")).read()->host,
                     QSysInfo::machineHostName());
        }
        QCOMPARE(entryOf(20261207), QStringLiteral("移す前に書いた"));
        // Every day kept is shown where the copy is made (tst_CalendarMove).
        QCOMPARE(entryOf(20261224), QStringLiteral("前からの予定"));
        // Typing goes on into the calendar where it is now.
        typeEntry(QStringLiteral("、戻ってから"));
        clickDay(8);
        QCOMPARE(entryOf(20261207), QStringLiteral("移す前に書いた、戻ってから"));
        QVERIFY(!QFileInfo::exists(syncedPath()));
    }

    void otherCalendarOpened_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("passwordGiven");
        QTest::newRow("opened") << "open" << false << true;
        QTest::newRow("offered instead of a move onto it") << "move" << false << true;
        QTest::newRow("encrypted, its password given") << "open" << true << true;
        QTest::newRow("encrypted, its password not given") << "open" << true << false;
    }
    void otherCalendarOpened()
    {
        QFETCH(QString, how);
        QFETCH(bool, encrypted);
        QFETCH(bool, passwordGiven);
        synced = std::make_unique<QTemporaryDir>();
        // The one the other computer put into the shared folder.
        QVERIFY(MakeCalendarFile(syncedPath(), 202612, 202712));
        QVERIFY(WriteDayEntry(syncedPath(), 20261207, QStringLiteral("ノートで書いた")));
        // A holiday there that the calendar in use does not have.
        QVERIFY(SqlPeek(syncedPath())
                    .exec(QStringLiteral("UPDATE Master SET 平日 = 0 WHERE 日付 = 20261208")));
        if (encrypted)
            encrypt(syncedPath());
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("家で書いた")));
        start();
        // The search has read this calendar's days.
        QCOMPARE(foundDays(QStringLiteral("書いた")), QStringList{QStringLiteral("20261207")});
        QCOMPARE(colourOf(8), colourOf(9));
        entryBox()->moveCursor(QTextCursor::End);
        typeEntry(QStringLiteral("、まだ保存していない"));

        const QPointer<frmMain> old = window();
        boxes->folder(synced->path());
        if (how == QLatin1String("move"))
            boxes->yes();
        if (passwordGiven && encrypted)
            boxes->password(kPassword);
        else if (encrypted)
            boxes->cancel();
        place(how == QLatin1String("move") ? "cmdMove" : "cmdOpen");
        QTRY_VERIFY(old.isNull() && window());
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        if (how == QLatin1String("move"))
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("選んだフォルダーには、既に暦ファイルがあります。\r") +
                         native(syncedPath()) +
                         QStringLiteral("\r今の暦ファイルをそこへ移すことはできません。そのフォル"
                                        "ダーの暦ファイルを開きますか？"));
        if (encrypted)
            QCOMPARE(boxes->boxes.last().kind, Dialogs::Kind::Password);
        QCOMPARE(boxes->pending(), 0);

        // The entry was saved before the calendar went.
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("家で書いた、まだ保存していない"));
        if (encrypted && !passwordGiven) {
            // Not opened: the calendar in use comes back, nothing remembered.
            QCOMPARE(gDataPath, dataPath());
            QCOMPARE(entryBox()->toPlainText(), QStringLiteral("家で書いた、まだ保存していない"));
            QCOMPARE(RememberedCalendarPath(), QString());
            QVERIFY(QFileInfo::exists(dataPath() + QStringLiteral(".inuse")));
            return;
        }
        QCOMPARE(gDataPath, syncedPath());
        QCOMPARE(RememberedCalendarPath(), syncedPath());
        QCOMPARE(curDate(), 20261207);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("ノートで書いた"));
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        QVERIFY(colourOf(8) != colourOf(9));
        QCOMPARE(colourOf(8), colourOf(6));
        QCOMPARE(foundDays(QStringLiteral("家で")), QStringList());
        QCOMPARE(foundDays(QStringLiteral("ノート")), QStringList{QStringLiteral("20261207")});
        // The mark went along; the old calendar stays where it was.
        QVERIFY(QFileInfo::exists(syncedPath() + QStringLiteral(".inuse")));
        QVERIFY(!QFileInfo::exists(dataPath() + QStringLiteral(".inuse")));
        QVERIFY(QFileInfo::exists(dataPath()));
        // Typing is saved into the calendar opened.
        typeEntry(QStringLiteral("続き"));
        clickDay(8);
        QCOMPARE(entryOf(20261207), QStringLiteral("続きノートで書いた"));
    }

    void refusedFolders_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("folder"); // "(calendar's)": the calendar's own
        QTest::addColumn<QString>("warning");
        QTest::newRow("moved into its own folder")
            << "cmdMove"
            << "(calendar's)"
            << "今の暦ファイルと同じフォルダーです。別のフォルダーを選んで下さい。";
        QTest::newRow("opened where there is no calendar")
            << "cmdOpen"
            << "(empty)"
            << "選んだフォルダーには、暦ファイル（Data.vad）がありません。\r";
        QTest::newRow("opened where it is already") << "cmdOpen"
                                                    << "(calendar's)"
                                                    << "今開いている暦ファイルです。\r";
    }
    void refusedFolders()
    {
        QFETCH(QString, button);
        QFETCH(QString, folder);
        QFETCH(QString, warning);
        synced = std::make_unique<QTemporaryDir>();
        start();
        const QByteArray digest = FileDigest(dataPath());
        const QPointer<frmMain> theWindow = window();
        boxes->folder(folder == QLatin1String("(empty)") ? synced->path() : this->folder->path());
        boxes->ok();
        place(button.toLatin1().constData());
        QVERIFY(boxes->boxes[1].text.startsWith(warning));
        QCoreApplication::processEvents();
        QCOMPARE(window(), theWindow.data());
        QCOMPARE(gDataPath, dataPath());
        QCOMPARE(FileDigest(dataPath()), digest);
        QCOMPARE(RememberedCalendarPath(), QString());
    }

    // What looks after a calendar in a synced folder goes with it. After a
    // move: a stale copy renamed over the calendar in its new place gets
    // back what this run wrote before the move (the program's own move is
    // not taken for such a replacement, and the run's journal follows it),
    // and a conflict copy beside it is offered, there already or arriving
    // later. A calendar opened has the copies beside it offered as at a
    // start.
    void syncFollowsTheCalendar_data()
    {
        QTest::addColumn<QString>("how");     // "move", "open"
        QTest::addColumn<QString>("arrives"); // "stale", "copy before", "copy after"
        QTest::newRow("moved, a stale copy renamed over it") << "move"
                                                             << "stale";
        QTest::newRow("moved, a conflict copy there already") << "move"
                                                              << "copy before";
        QTest::newRow("moved, a conflict copy arriving later") << "move"
                                                               << "copy after";
        QTest::newRow("opened, a conflict copy beside it") << "open"
                                                           << "copy before";
    }
    void syncFollowsTheCalendar()
    {
        QFETCH(QString, how);
        QFETCH(QString, arrives);
        synced = std::make_unique<QTemporaryDir>();
        const QString copy =
            synced->filePath(QStringLiteral("Data.sync-conflict-20261208-101530-ABCDEF7.vad"));
        // The other computer's calendar, written beside under a temporary
        // name and renamed into place, as a sync program does.
        const auto deliver = [&](const QString& as, const QString& text) {
            const QString partial = synced->filePath(QStringLiteral(".syncthing.tmp"));
            QVERIFY(MakeCalendarFile(partial, 202612, 202612));
            QVERIFY(WriteDayEntry(partial, 20261220, text));
            QVERIFY(QFile::rename(partial, as));
        };
        // The copy holds what the calendar there lacks: one holding nothing
        // new would be put away without an offer.
        if (how == QLatin1String("open"))
            deliver(syncedPath(), QStringLiteral("向こうの予定"));
        if (arrives == QLatin1String("copy before"))
            deliver(copy, QStringLiteral("写しの予定"));
        start();
        window()->setQuietSaveDelay(50);
        // Made before anything was written here.
        const QString stale = synced->filePath(QStringLiteral(".syncthing.Data.vad.tmp"));
        QVERIFY(QFile::copy(dataPath(), stale));
        clickDay(15);
        typeEntry(QStringLiteral("十五日の予定"));
        clickDay(10);
        QCOMPARE(entryOf(20261215), QStringLiteral("十五日の予定"));

        boxes->folder(synced->path());
        if (how == QLatin1String("move")) {
            boxes->yes();
            boxes->ok();
        }
        if (arrives.startsWith(QLatin1String("copy")))
            boxes->yes();
        const QPointer<frmMain> old = window();
        place(how == QLatin1String("move") ? "cmdMove" : "cmdOpen");
        // A calendar opened comes in a new window, a moved one in the same.
        const bool opened = how == QLatin1String("open");
        QTRY_VERIFY(old.isNull() == opened && window() && window()->isVisible());
        QCOMPARE(gDataPath, syncedPath());
        if (arrives == QLatin1String("copy after"))
            deliver(copy, QStringLiteral("写しの予定"));
        if (arrives == QLatin1String("stale"))
            QCOMPARE(std::rename(QFile::encodeName(stale).constData(),
                                 QFile::encodeName(syncedPath()).constData()),
                     0);

        if (arrives == QLatin1String("stale")) {
            QTRY_COMPARE(statusText(), QStringLiteral("別の場所から来た暦に、このコンピューター"
                                                      "で書いた 1 日分を書き戻しました。"));
            QCOMPARE(ReadDayField(syncedPath(), 20261215, QStringLiteral("内容")).toString(),
                     QStringLiteral("十五日の予定"));
        } else {
            // Offered, taken in, and kept in the backup folder beside the
            // calendar in its new place.
            QTRY_COMPARE_WITH_TIMEOUT(boxes->pending(), 0, 10000);
            QCOMPARE(boxes->boxes.last().text,
                     QStringLiteral("別のコンピューターで書かれた暦の写しがあります。取り込み"
                                    "ますか？\r") +
                         native(copy));
            QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(copy), 10000);
            QVERIFY(QFileInfo::exists(synced->filePath(QStringLiteral("backup/")) +
                                      QFileInfo(copy).fileName()));
            // Taken in: beside the opened calendar's own text, or alone.
            QVERIFY(ReadDayField(syncedPath(), 20261220, QStringLiteral("内容"))
                        .toString()
                        .endsWith(QStringLiteral("写しの予定")));
        }
        QCOMPARE(ListRecoveryFiles(), QStringList());
        QCOMPARE(boxes->pending(), 0);
    }

    void startWarnsOfAnotherComputersMark_data()
    {
        // Which marks count is shown where they are read (tst_InUseMarker).
        QTest::addColumn<QString>("host"); // "(this)": this computer's
        QTest::addColumn<bool>("warned");
        QTest::newRow("another computer's") << "laptop" << true;
        QTest::newRow("this computer's, left by a crash") << "(this)" << false;
    }
    void startWarnsOfAnotherComputersMark()
    {
        QFETCH(QString, host);
        QFETCH(bool, warned);
        const QString mark = dataPath() + QStringLiteral(".inuse");
        const QString writer = host == QLatin1String("(this)") ? QSysInfo::machineHostName() : host;
        QVERIFY(InUseMarker(dataPath(), writer).write(Clock::Now().addSecs(-60)));
        if (warned)
            boxes->ok();
        start();
        // Said, and the program goes on with the calendar.
        QCOMPARE(boxes->texts(),
                 warned ? QStringList{QStringLiteral("この暦は別のコンピューター（laptop）で開かれ"
                                                     "ているかもしれません。")}
                        : QStringList());
        QVERIFY(entryBox()->isVisible());
        // The mark is this computer's now, and goes when the program ends.
        const std::optional<InUseMarker::Mark> written = InUseMarker(dataPath()).read();
        QCOMPARE(written->host, QSysInfo::machineHostName());
        QVERIFY(qAbs(written->written.secsTo(Clock::Now())) < 60);
        stop();
        QVERIFY(!QFileInfo::exists(mark));
    }
};

ZEDU_TEST_MAIN(tst_CalendarPlace)
#include "tst_CalendarPlace.moc"
