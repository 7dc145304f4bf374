// Start-up's care for the calendar file: an existing calendar is used as it
// is, a complete copy left by an interrupted replacement is put in place, and
// only a start with neither is a first run, which creates and fills the file.

#include "app/FirstRun.h"
#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

class tst_FirstRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
    }

    void cleanup()
    {
        gMaster.setUpdatePhaseHookForTesting({});
        gDatabase.close();
        Clock::setTodayForTesting(std::nullopt);
        dir.reset();
    }

    void firstRunFillsSixtyOneMonths_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("speed");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("upperKey");
        for (const bool speed : {true, false}) {
            const char* flag = speed ? ", speed priority on" : ", speed priority off";
            QTest::addRow("July%s", flag) << QDate(1999, 7, 15) << speed << 1858 << 20040801;
            QTest::addRow("November%s", flag) << QDate(1999, 11, 30) << speed << 1857 << 20041201;
            QTest::addRow("December%s", flag) << QDate(1999, 12, 1) << speed << 1858 << 20050101;
        }
    }
    void firstRunFillsSixtyOneMonths()
    {
        QFETCH(QDate, today);
        QFETCH(bool, speed);
        QFETCH(int, records);
        QFETCH(int, upperKey);
        Clock::setTodayForTesting(today);
        gOpenFlag = speed;
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(gDatabase.isOpen(), speed);
        gDatabase.close();

        SqlPeek peek(gDataPath);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master")).toInt(), records);
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master")).toInt(),
                 DayKey(today.year(), today.month(), 1));
        // The last stored day is the day before the exclusive upper key.
        QCOMPARE(peek.one(QStringLiteral("SELECT max(日付) FROM Master")).toInt(),
                 DayKey(KeyToDate(upperKey).addDays(-1)));
        QVERIFY(!peek.one(QStringLiteral("SELECT 日付 FROM Master WHERE 日付 >= ?"), {upperKey})
                     .isValid());
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void declinedFirstRunEndsWithItsOwnWarningOnly()
    {
        Clock::setTodayForTesting(QDate(1999, 7, 5));
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.no();
        boxes.ok();
        QCOMPARE(PrepareCalendarFile(), std::optional<int>(kStartupEnded));
        QCOMPARE(boxes.boxes.size(), 3);
        QCOMPARE(boxes.boxes.last().text,
                 QStringLiteral("システムの日付を変更してから、もう一度実行して下さい。"));
        QVERIFY(!QFile::exists(gDataPath));
    }

    void failedFillRemovesTheFileAndWarnsOnce_data() { AddSpeedPriorityRows(); }
    void failedFillRemovesTheFileAndWarnsOnce()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        Clock::setTodayForTesting(QDate(1999, 7, 5));
        gMaster.setUpdatePhaseHookForTesting([](clsMaster::UpdatePhase phase) {
            if (phase == clsMaster::UpdatePhase::Filled)
                throw EngineError(gDataPath, QStringLiteral("injected failure"));
        });
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        boxes.ok();
        QCOMPARE(PrepareCalendarFile(), std::optional<int>(kStartupEnded));
        QCOMPARE(boxes.boxes.size(), 3);
        QCOMPARE(boxes.boxes.last().kind, Dialogs::Kind::Warning);
        QCOMPARE(boxes.boxes.last().text,
                 QStringLiteral("暦の生成に失敗しました。「ﾍﾙﾌﾟ」メニューから「製品ｻﾎﾟｰﾄ情報」を"
                                "ご覧下さい。\r原因は分かりません。\r（injected failure）"));
        QVERIFY(!gDatabase.isOpen());
        QVERIFY(!QFile::exists(gDataPath));
        QVERIFY(!QFile::exists(CompactionTarget()));

        // The next start is a first run again.
        gMaster.setUpdatePhaseHookForTesting({});
        ScriptedDialogs again;
        again.yes();
        again.yes();
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QVERIFY(QFile::exists(gDataPath));
    }

    void existingCalendarIsUsedAsItIs()
    {
        QVERIFY(MakeCalendarFile(gDataPath, 199907, 199912));
        QVERIFY(WriteDayEntry(gDataPath, 19990715, QStringLiteral("そのまま")));
        const QByteArray before = FileDigest(gDataPath);
        ScriptedDialogs boxes; // any box would fail the test
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(FileDigest(gDataPath), before);
    }

    void completeCopyIsPutInPlaceInsteadOfAFirstRun()
    {
        QVERIFY(MakeCalendarFile(CompactionTarget(), 199907, 199912));
        QVERIFY(WriteDayEntry(CompactionTarget(), 19990715, QStringLiteral("日記\r\n𠮷")));
        ScriptedDialogs boxes; // no first-run questions
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(!QFile::exists(CompactionTarget()));
        QCOMPARE(ReadDayField(gDataPath, 19990715, QStringLiteral("内容")).toString(),
                 QStringLiteral("日記\r\n𠮷"));
    }

    void damagedCopyIsNoCalendar()
    {
        QFile broken(CompactionTarget());
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray("SQLite format 3\0", 16) + QByteArray(200, 'x'));
        broken.close();
        Clock::setTodayForTesting(QDate(1999, 7, 5));
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        const QByteArray damaged = FileDigest(CompactionTarget());
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QCOMPARE(boxes.boxes.size(), 2);
        QVERIFY(IsIntactCalendar(gDataPath));
        QVERIFY(!QFile::exists(CompactionTarget()));
        // Set aside, never deleted: it may hold what the user wrote.
        QCOMPARE(FileDigest(CompactionTarget() + QStringLiteral(".damaged")), damaged);
    }

    void calendarWithoutDaysIsAFirstRunCutOff()
    {
        // Cut off inside Create: a database without its table yet.
        Clock::setTodayForTesting(QDate(1999, 11, 30));
        Database::Create(gDataPath);
        QVERIFY(IsUnfilledCalendar());
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        QCOMPARE(PrepareCalendarFile(), std::nullopt);
        QCOMPARE(SqlPeek(gDataPath).one(QStringLiteral("SELECT count(*) FROM Master")).toInt(),
                 1857);
        QVERIFY(!IsUnfilledCalendar());
        // One that cannot be read now is not taken for one: the window
        // reports it.
        QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master")));
        SqlPeek other(gDataPath);
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(!IsUnfilledCalendar());
    }
};

ZEDU_TEST_MAIN(tst_FirstRun)
#include "tst_FirstRun.moc"
