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
        // A newer file that is no calendar is listed, but cannot be chosen.
        QFile broken(QFileInfo(backup).absolutePath() +
                     QStringLiteral("/Data-20261207-235959.vad"));
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
                rows << row->text(1) + QLatin1Char('|') + row->text(2);
            }
            // The buttons read as every other box's do.
            buttons << chooser->cmdRestore->text() << chooser->cmdCancel->text();
            chooser->cmdRestore->click();
        }});
        boxes->yes();
        boxes->ok();
        trigger("mnuRestore");
        // Newest first: the time each was made, its months, its entries.
        QCOMPARE(rows, (QStringList{QStringLiteral("読み込めません|"),
                                    QStringLiteral("2026/12～2031/12|1")}));
        QCOMPARE(buttons, (QStringList{QStringLiteral("復元(&R)"), QStringLiteral("キャンセル")}));
        QCOMPARE(boxes->boxes.size(), 2);
        QCOMPARE(boxes->boxes[0].text,
                 QStringLiteral("%1 のバックアップから暦を復元します。\r今の暦ファイルは、"
                                "バックアップしてから置き換えます。\r復元して良いですか？")
                     .arg(QFileInfo(backup).lastModified().toString(
                         QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
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
        QTest::addColumn<bool>("restore");
        QTest::newRow("damaged pages, yes") << QStringLiteral("pages") << true << true;
        QTest::newRow("columns of other kinds, yes") << QStringLiteral("columns") << true << true;
        QTest::newRow("no table Master, no") << QStringLiteral("table") << true << false;
        QTest::newRow("no table Master, no backup") << QStringLiteral("table") << false << false;
    }
    void calendarThatIsNoCalendarAtStart()
    {
        QFETCH(QString, damage);
        QFETCH(bool, withBackup);
        QFETCH(bool, restore);
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
        if (withBackup)
            restore ? boxes->yes() : boxes->no();
        if (restore)
            boxes->ok();
        const std::optional<int> ended = Main();
        QCOMPARE(ended, restore ? std::nullopt : std::optional<int>(kStartupEnded));
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Warning);
        // A damaged file, or another program's database.
        const QString cause = damage == QLatin1String("pages")
                                  ? QStringLiteral("暦ファイルが壊れています。\r")
                                  : QStringLiteral("暦ファイルの中身が暦の形式ではありません。\r");
        QVERIFY2(boxes->boxes[0].text.startsWith(StoreErrorText(QString()) + cause),
                 qPrintable(boxes->boxes[0].text));
        QVERIFY(boxes->boxes[0].text.endsWith(
            (withBackup ? QStringLiteral("\rバックアップは次のフォルダーにあります。\r")
                        : QStringLiteral("\r復元できるバックアップがありません。\r")) +
            QDir::toNativeSeparators(BackupFolder())));
        if (withBackup) {
            QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Question);
            QCOMPARE(boxes->boxes[1].defaultButton, Dialogs::Yes);
            QCOMPARE(boxes->boxes[1].text,
                     QStringLiteral("最新のバックアップ（%1）から復元しますか？")
                         .arg(QFileInfo(BackupFolder() + QLatin1Char('/') + ListBackups()[0])
                                  .lastModified()
                                  .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
        }
        if (!restore) {
            // Left as it was, and not one more backup.
            QCOMPARE(FileDigest(dataPath()), damaged);
            QCOMPARE(QDir(folder->filePath(QStringLiteral("backup")))
                         .entryList(QDir::Files | QDir::Hidden),
                     backupsBefore);
            QVERIFY(!window());
            return;
        }
        QVERIFY(window());
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("昔の予定"));
        QCOMPARE(entryOf(dataPath()), QStringLiteral("昔の予定"));
        // The file that could not be opened is set aside, never deleted.
        QCOMPARE(setAside().size(), 1);
        const QString aside = BackupFolder() + QLatin1Char('/') + setAside()[0];
        QCOMPARE(FileDigest(aside), damaged);
        QCOMPARE(boxes->boxes.size(), 3);
        QVERIFY(boxes->boxes[2].text.endsWith(QDir::toNativeSeparators(aside)));
    }
};

ZEDU_TEST_MAIN(tst_RestoreCommands)
#include "tst_RestoreCommands.moc"
