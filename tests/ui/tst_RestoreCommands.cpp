// Putting a backup back: from the File menu, and from the offer that follows
// a calendar that cannot be opened as a calendar at start-up.

#include "app/Main.h"
#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ModalBoxes.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/frmRestore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QString entryOf(const QString& calendar)
{
    return ReadDayField(calendar, 20261207, QStringLiteral("内容")).toString();
}

} // namespace

class tst_RestoreCommands : public MainWindowHarness
{
    Q_OBJECT

    // A backup of the calendar with `entry` on the day the tests run; the
    // calendar itself then holds `nowEntry`.
    QString backupWith(const QString& entry, const QString& nowEntry)
    {
        if (!QFile::exists(dataPath()))
            MakeCalendarFile(dataPath(), 202612, 203112);
        WriteDayEntry(dataPath(), 20261207, entry);
        gDataPath = dataPath();
        gOpenFlag = false;
        const QString backup = BackupCalendar();
        WriteDayEntry(dataPath(), 20261207, nowEntry);
        return backup;
    }

    static QString madeText(const QString& backup)
    {
        return frmRestore::MadeText(ReadBackupInfo(backup));
    }

    // The files in the backup folder that hold a calendar set aside.
    QStringList setAside() const
    {
        return QDir(folder->filePath(QStringLiteral("backup")))
            .entryList({QStringLiteral("Data-*-damaged.vad")}, QDir::Files);
    }

private slots:
    void restoreFromTheMenu()
    {
        const QString backup = backupWith(QStringLiteral("昔の予定"), QStringLiteral("今の予定"));
        // One made later that is no calendar is listed, but cannot be
        // chosen; its time lies after the clock, and the list says so.
        QFile broken(QFileInfo(backup).absolutePath() +
                     QStringLiteral("/Data-20991231-235959-000099.vad"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a calendar");
        broken.close();
        start();
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("今の予定"));

        QStringList rows;
        QStringList buttons;
        AnswerModalBoxes({[&](QWidget* box) {
            auto* chooser = qobject_cast<frmRestore*>(box);
            QVERIFY(chooser);
            for (int i = 0; i < chooser->lstBackups->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* row = chooser->lstBackups->topLevelItem(i);
                rows << row->text(0) + QLatin1Char('|') + row->text(1) + QLatin1Char('|') +
                            row->text(2);
            }
            // The buttons read as every other box's do.
            buttons << chooser->cmdRestore->text() << chooser->cmdCancel->text();
            chooser->cmdRestore->click();
        }});
        boxes->yes();
        boxes->ok();
        trigger("mnuRestore");
        // The one made last first: the time each was made, its months, its
        // entries.
        QCOMPARE(rows, (QStringList{QStringLiteral("2099/12/31 23:59:59（日時が今より後です）|"
                                                   "読み込めません|"),
                                    madeText(backup) + QStringLiteral("|2026/12～2031/12|1")}));
        QCOMPARE(buttons, (QStringList{QStringLiteral("復元(&R)"), QStringLiteral("キャンセル")}));
        QCOMPARE(boxes->boxes.size(), 2);
        QCOMPARE(boxes->boxes[0].text,
                 QStringLiteral("%1 のバックアップから暦を復元します。\r今の暦ファイルは、"
                                "バックアップしてから置き換えます。\r復元して良いですか？")
                     .arg(madeText(backup)));
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("昔の予定"));
        QCOMPARE(entryOf(dataPath()), QStringLiteral("昔の予定"));
        // The calendar it replaced is itself a backup now.
        const QStringList names = ListBackups();
        QCOMPARE(names.size(), 3);
        const QString kept = BackupFolder() + QLatin1Char('/') + names.last();
        QCOMPARE(entryOf(kept), QStringLiteral("今の予定"));
        QVERIFY(boxes->boxes[1].text.endsWith(QDir::toNativeSeparators(kept)));
        QVERIFY(window()->isEnabled());
    }

    void calendarThatIsNoCalendarAtStart_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("withBackup");
        QTest::addColumn<bool>("yes");
        QTest::newRow("damaged pages, yes") << QStringLiteral("pages") << true << true;
        QTest::newRow("columns of other kinds, yes") << QStringLiteral("columns") << true << true;
        QTest::newRow("no table Master, no") << QStringLiteral("table") << true << false;
        QTest::newRow("no backup, no") << QStringLiteral("table") << false << false;
        QTest::newRow("no backup, yes: a new calendar") << QStringLiteral("pages") << false << true;
    }
    void calendarThatIsNoCalendarAtStart()
    {
        QFETCH(QString, damage);
        QFETCH(bool, withBackup);
        QFETCH(bool, yes);
        if (withBackup)
            backupWith(QStringLiteral("昔の予定"), QString());
        QFile::remove(dataPath());
        if (damage == QLatin1String("pages")) {
            QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
            QFile file(dataPath());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(4 * 4096));
            file.write(QByteArray(4096, '\x55'));
        } else {
            SqlPeek other(dataPath());
            QVERIFY(other.exec(damage == QLatin1String("table")
                                   ? QStringLiteral("CREATE TABLE Notes (x)")
                                   : QStringLiteral("CREATE TABLE Master (日付 TEXT, 曜日 TEXT, "
                                                    "平日 TEXT, 内容 TEXT)")));
            QVERIFY(other.exec(damage == QLatin1String("table")
                                   ? QStringLiteral("INSERT INTO Notes VALUES (1)")
                                   : QStringLiteral("INSERT INTO Master VALUES "
                                                    "('20261207', '1', 'x', '')")));
        }
        const QByteArray damaged = FileDigest(dataPath());
        const QStringList backupsBefore =
            QDir(folder->filePath(QStringLiteral("backup"))).entryList(QDir::Files | QDir::Hidden);

        boxes->ok();
        yes ? boxes->yes() : boxes->no();
        if (yes && !withBackup) {
            // The first run's questions about today's date.
            boxes->yes();
            boxes->yes();
        }
        if (yes)
            boxes->ok();
        const std::optional<int> ended = Main();
        QCOMPARE(ended, yes ? std::nullopt : std::optional<int>(kStartupEnded));
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Warning);
        // A damaged file, or another program's database.
        const QString cause = damage == QLatin1String("pages")
                                  ? QStringLiteral("暦ファイルが壊れています。\r")
                                  : QStringLiteral("暦ファイルの中身が暦の形式ではありません。\r");
        QVERIFY2(boxes->boxes[0].text.startsWith(StoreErrorText(QString()) + cause),
                 qPrintable(boxes->boxes[0].text));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Question);
        if (withBackup) {
            QVERIFY(boxes->boxes[0].text.endsWith(
                QStringLiteral("\rバックアップは次のフォルダーにあります。\r") +
                QDir::toNativeSeparators(BackupFolder())));
            QCOMPARE(boxes->boxes[1].defaultButton, Dialogs::Yes);
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("最新のバックアップ（%1）から復元しますか？")
                         .arg(madeText(BackupFolder() + QLatin1Char('/') + ListBackups()[0])));
        } else {
            // What the user can do: a copy of their own, or a new calendar.
            QVERIFY(boxes->boxes[0].text.endsWith(
                QStringLiteral("\r復元できるバックアップがありません。\r") +
                QDir::toNativeSeparators(BackupFolder()) +
                QStringLiteral("\r暦ファイルのコピーをお持ちの場合は、Zedu を終了してから、"
                               "そのコピーを次の名前で置いて下さい。\r") +
                QDir::toNativeSeparators(dataPath()) +
                QStringLiteral("\rコピーがない場合は、新しい暦を作って始めることができます。")));
            QCOMPARE(boxes->boxes[1].defaultButton, Dialogs::No);
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("新しい暦を作って始めますか？ 開けなかったファイルは backup "
                                    "フォルダに残します。"));
        }
        if (!yes) {
            // Left as it was, and not one more backup.
            QCOMPARE(FileDigest(dataPath()), damaged);
            QCOMPARE(QDir(folder->filePath(QStringLiteral("backup")))
                         .entryList(QDir::Files | QDir::Hidden),
                     backupsBefore);
            QVERIFY(!window());
            return;
        }
        QVERIFY(window());
        // The file that could not be opened is set aside, never deleted.
        QCOMPARE(setAside().size(), 1);
        const QString aside = BackupFolder() + QLatin1Char('/') + setAside()[0];
        QCOMPARE(FileDigest(aside), damaged);
        QCOMPARE(boxes->boxes.size(), withBackup ? 3 : 5);
        QVERIFY(boxes->boxes.last().text.endsWith(QDir::toNativeSeparators(aside)));
        if (withBackup) {
            QCOMPARE(entryBox()->toPlainText(), QStringLiteral("昔の予定"));
            QCOMPARE(entryOf(dataPath()), QStringLiteral("昔の予定"));
            return;
        }
        // A new calendar, as at a first run: the date asked twice, today's
        // month and the 60 after it, nothing written.
        QVERIFY(boxes->boxes[2].text.startsWith(QStringLiteral("暦ファイルを作成します。")));
        QVERIFY(boxes->boxes[4].text.startsWith(QStringLiteral("新しい暦を作りました。")));
        QCOMPARE(caption(), QStringLiteral("2026年12月"));
        SqlPeek peek(dataPath());
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) || '-' || max(日付) || '-' || "
                                         "count(nullif(内容, '')) FROM Master"))
                     .toString(),
                 QStringLiteral("20261201-20311231-0"));
    }

    void backupsMadeWhileTheClockIsBehind()
    {
        // Twenty-two calendars backed up in 2030 (the names and the files'
        // times say so) while the clock says 2026: eleven of an earlier
        // version, without numbers, eleven numbered ones from a computer
        // whose clock ran ahead; and a calendar set aside.
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QStringList earlier;
        QStringList numbered;
        for (int i = 0; i < 11; ++i) {
            numbered << QStringLiteral("Data-20300101-0000%1-%2.vad")
                            .arg(i, 2, 10, QLatin1Char('0'))
                            .arg(i + 1, 6, 10, QLatin1Char('0'));
            earlier << QStringLiteral("Data-20300101-0000%1.vad").arg(i + 11);
        }
        const QString aside =
            folder->filePath(QStringLiteral("backup/Data-20300101-000000-damaged.vad"));
        QVERIFY(QDir().mkpath(QFileInfo(aside).absolutePath()));
        for (const QString& name : earlier + numbered + QStringList{QFileInfo(aside).fileName()}) {
            const QString path = QFileInfo(aside).absolutePath() + QLatin1Char('/') + name;
            QVERIFY(QFile::copy(dataPath(), path));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime(QDate(2030, 1, 2), QTime(0, 0)),
                                     QFileDevice::FileModificationTime));
        }
        start(); // the day's first backup

        // Three commands that back up first, each after a word of its own.
        struct Command
        {
            QString word;
            const char* item;
            QStringList inputs;
        };
        const QList<Command> commands{{QStringLiteral("範囲の前"),
                                       "mnuDateRange",
                                       {QStringLiteral("202612"), QStringLiteral("203006")}},
                                      {QStringLiteral("祝日の前"), "mnuPublicHolidays", {}},
                                      {QStringLiteral("平日の前"), "mnuWeekDayAll", {}}};
        for (const Command& command : commands) {
            entryBox()->selectAll();
            typeEntry(command.word);
            for (const QString& input : command.inputs)
                boxes->input(input);
            boxes->yes();
            trigger(command.item);
            QCOMPARE(boxes->pending(), 0);
        }
        // Each word is in a backup of its own, all three are kept with the
        // start's, and those of the earlier version went first.
        const QStringList names = ListBackups();
        QCOMPARE(names.size(), kBackupsKept);
        QCOMPARE(names.mid(0, 16), earlier.mid(6) + numbered);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(entryOf(BackupFolder() + QLatin1Char('/') + names[17 + i]), commands[i].word);
        QVERIFY(QFile::exists(aside));

        // A damaged calendar then offers the backup made last.
        stop();
        QFile file(dataPath());
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(4 * 4096));
        file.write(QByteArray(4096, '\x55'));
        file.close();
        boxes->clear();
        boxes->ok();
        boxes->yes();
        boxes->ok();
        QCOMPARE(Main(), std::optional<int>());
        QCOMPARE(boxes->boxes[1].text,
                 QStringLiteral("最新のバックアップ（%1）から復元しますか？")
                     .arg(madeText(BackupFolder() + QLatin1Char('/') + names.last())));
        QCOMPARE(entryOf(dataPath()), commands[2].word);
        QCOMPARE(entryBox()->toPlainText(), commands[2].word);
    }
};

ZEDU_TEST_MAIN(tst_RestoreCommands)
#include "tst_RestoreCommands.moc"
