#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/JapaneseHolidays.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "store/MasterReads.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/types.h>

class tst_clsMaster : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    // A created, empty calendar at gDataPath.
    void create()
    {
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        QVERIFY(gMaster.Create());
    }

    void calendar(int top, int bottom)
    {
        create();
        if (gOpenFlag)
            gDatabase.open(gDataPath);
        QVERIFY(gMaster.Update(top, bottom));
    }

    int count()
    {
        return SqlPeek(gDataPath).one(QStringLiteral("SELECT count(*) FROM Master")).toInt();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        Clock::setTodayForTesting(QDate(1999, 7, 5));
    }

    void cleanup()
    {
        gDatabase.close();
        dir.reset();
    }

    void createAsksTwiceAndBuildsTheSchema()
    {
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.yes();
        QVERIFY(gMaster.Create());
        QCOMPARE(boxes.texts(),
                 (QStringList{
                     QStringLiteral(
                         "暦ファイルを作成します。\r今日は「1999/07/05」で間違いありませんか？"),
                     QStringLiteral("本当に「1999/07/05」で間違いありませんね？")}));
        QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Question);
        QVERIFY(!gDatabase.isOpen());
        SqlPeek peek(gDataPath);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"))
                     .toInt(),
                 1);
        const auto columns = peek.rows(QStringLiteral("PRAGMA table_info(Master)"));
        QCOMPARE(columns.size(), 4);
        const QStringList names{QStringLiteral("日付"), QStringLiteral("曜日"),
                                QStringLiteral("平日"), QStringLiteral("内容")};
        const QStringList types{QStringLiteral("INTEGER"), QStringLiteral("SMALLINT"),
                                QStringLiteral("BOOLEAN"), QStringLiteral("TEXT")};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(columns[i][1].toString(), names[i]);
            QCOMPARE(columns[i][2].toString(), types[i]);
        }
        QCOMPARE(columns[0][5].toInt(), 1); // the primary key
        QVERIFY(peek.one(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Master'"))
                    .toString()
                    .contains(QStringLiteral("CONSTRAINT PrimaryKey PRIMARY KEY (日付)")));
        QCOMPARE(gMaster.DateTop(), 0);
        QCOMPARE(gMaster.DateBottom(), 0);
        QVERIFY(OwnerOnly(gDataPath));
    }

    void createRefusedAtEitherQuestion()
    {
        for (int refuseAt : {0, 1}) {
            ScriptedDialogs boxes;
            if (refuseAt == 1)
                boxes.yes();
            boxes.no();
            boxes.ok();
            QVERIFY(!gMaster.Create());
            QCOMPARE(boxes.boxes.last().kind, Dialogs::Kind::Warning);
            QCOMPARE(boxes.boxes.last().text,
                     QStringLiteral("システムの日付を変更してから、もう一度実行して下さい。"));
            QVERIFY(!QFile::exists(gDataPath));
        }
    }

    void createInAReadOnlyFolderWarnsOnceAndLeavesNothing()
    {
        // Root writes anywhere, so the creation runs as an unprivileged user.
        QTemporaryDir folder;
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                         QFile::ReadGroup | QFile::ExeGroup |
                                                         QFile::ReadOther | QFile::ExeOther));
        const QString target = folder.filePath(QStringLiteral("Data.vad"));
        QProcess host;
        QStringList args{QStringLiteral(ZEDU_STOREHOST), QStringLiteral("create"), target};
        if (::geteuid() == 0)
            args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                               QStringLiteral("--clear-groups")} +
                   args;
        host.start(::geteuid() == 0 ? QStringLiteral("setpriv") : args.takeFirst(), args);
        QVERIFY(host.waitForFinished(60000));
        const QStringList lines = QString::fromUtf8(host.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        // The cause follows on a line of its own, then the system's words.
        QVERIFY2(lines[2].startsWith(QStringLiteral("box 0|") + kCreateFailed +
                                     QStringLiteral("\r暦ファイルに書き込む権限がないか、読み取り"
                                                    "専用になっています。\r（")),
                 qPrintable(lines[2]));
        QCOMPARE(lines[3], QStringLiteral("done 0"));
        QVERIFY(!QFile::exists(target));
    }

    void firstRunRanges_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("last");
        QTest::newRow("July") << 199907 << 1858 << 20040731;
        QTest::newRow("November") << 199911 << 1857 << 20041130;
        QTest::newRow("December") << 199912 << 1858 << 20041231;
    }
    void firstRunRanges()
    {
        QFETCH(int, top);
        QFETCH(int, records);
        QFETCH(int, last);
        calendar(top, AddMonths(top, 60));
        QCOMPARE(count(), records);
        QCOMPARE(gMaster.DateTop(), top * 100 + 1);
        QCOMPARE(gMaster.DateBottom(), last);
        QString text;
        QVERIFY(!gMaster.PlanLoad(AddMonths(top, 61) * 100 + 1, text));
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void generatedDaysMatchTheCalendar()
    {
        calendar(195001, 204912);
        SqlPeek peek(gDataPath);
        const auto rows =
            peek.rows(QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master ORDER BY 日付"));
        QDate day(1950, 1, 1);
        for (const QVariantList& row : rows) {
            QCOMPARE(row[0].toInt(), DayKey(day));
            const int week = day.dayOfWeek() % 7;
            QCOMPARE(row[1].toInt(), week);
            QCOMPARE(row[2].toBool(), week != 0 && week != 6);
            QCOMPARE(row[3].toString(), QString());
            QVERIFY(!row[3].isNull());
            day = day.addDays(1);
        }
        QCOMPARE(day, QDate(2050, 1, 1));
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 日付 % 10000 = 229"))
                     .toInt(),
                 25);
        QVERIFY(
            !peek.one(QStringLiteral("SELECT 日付 FROM Master WHERE 日付 = 19000229")).isValid());
        QCOMPARE(peek.one(QStringLiteral("SELECT 曜日 FROM Master WHERE 日付 = 19990701")).toInt(),
                 4);
    }

    void rangeChangesKeepWhatIsInside()
    {
        calendar(199907, 200012);
        QVERIFY(gMaster.PlanSave(19991231, QStringLiteral("大晦日\r\n𠮷野家")));
        QVERIFY(gMaster.PlanSave(19990801, QStringLiteral("消える")));
        gMaster.WeekDayChange(19991230);

        // Widening keeps every entry and flag.
        QVERIFY(gMaster.Update(199901, 200112));
        QString text;
        QVERIFY(gMaster.PlanLoad(19991231, text));
        QCOMPARE(text, QStringLiteral("大晦日\r\n𠮷野家"));
        QCOMPARE(SqlPeek(gDataPath)
                     .one(QStringLiteral("SELECT 平日 FROM Master WHERE 日付 = 19991230"))
                     .toBool(),
                 false);
        QCOMPARE(gMaster.DateTop(), 19990101);
        QCOMPARE(gMaster.DateBottom(), 20011231);

        // Narrowing deletes only what lies outside.
        QVERIFY(gMaster.Update(199909, 200001));
        QVERIFY(!gMaster.PlanLoad(19990801, text));
        QVERIFY(gMaster.PlanLoad(19991231, text));
        QCOMPARE(text, QStringLiteral("大晦日\r\n𠮷野家"));
        QCOMPARE(count(), 30 + 31 + 30 + 31 + 31);

        // An unchanged range commits and still compacts: the calendar is a
        // new file afterwards.
        struct stat before = {};
        QCOMPARE(::stat(QFile::encodeName(gDataPath).constData(), &before), 0);
        QVERIFY(gMaster.Update(199909, 200001));
        struct stat after = {};
        QCOMPARE(::stat(QFile::encodeName(gDataPath).constData(), &after), 0);
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(count(), 153);
        QVERIFY(!QFile::exists(CompactionTarget()));
        QVERIFY(IsIntactCalendar(gDataPath));

        // A range that does not overlap replaces everything.
        QVERIFY(gMaster.Update(203002, 203002));
        QCOMPARE(count(), 28);
        QCOMPARE(gMaster.DateTop(), 20300201);

        // First month after the last: every record goes, and that is success.
        QVERIFY(gMaster.Update(203003, 203002));
        QCOMPARE(count(), 0);
        QCOMPARE(gMaster.DateTop(), 0);
        QVERIFY(OwnerOnly(gDataPath));
    }

    void badMonthsChangeNothing()
    {
        calendar(199907, 199912);
        QVERIFY(gMaster.PlanSave(19990715, QStringLiteral("残る")));
        const QByteArray before = FileDigest(gDataPath);
        for (const auto& [top, bottom] :
             {std::pair{199913, 200001}, std::pair{199900, 200001}, std::pair{199907, 199913},
              std::pair{199907, 200000}, std::pair{0, 199912}}) {
            QVERIFY2(!gMaster.Update(top, bottom), qPrintable(QString::number(bottom)));
            QCOMPARE(FileDigest(gDataPath), before);
            QVERIFY(!gDatabase.isOpen());
        }
    }

    void openPolicy_data() { AddSpeedPriorityRows(); }
    void openPolicy()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        calendar(199907, 199908);
        QCOMPARE(gDatabase.isOpen(), speed);
        QString text;
        QVERIFY(gMaster.PlanLoad(19990701, text));
        QCOMPARE(gDatabase.isOpen(), speed);
        QVERIFY(gMaster.PlanSave(19990701, QStringLiteral("x")));
        gMaster.WeekDayChange(19990702);
        gMaster.WeekDayClear(true);
        gMaster.PlanInsert(7, 3, QStringLiteral("y"));
        QCOMPARE(gMaster.DateTop(), 19990701);
        QCOMPARE(gDatabase.isOpen(), speed);
        if (!speed) {
            // Nothing holds the file: another connection can lock it.
            SqlPeek other(gDataPath);
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(other.exec(QStringLiteral("COMMIT")));
        }
        QVERIFY(gMaster.Update(199906, 199908));
        QCOMPARE(gDatabase.isOpen(), speed);
    }

    void nestedOperationsLeaveTheOuterOneAlone_data() { AddSpeedPriorityRows(); }
    void nestedOperationsLeaveTheOuterOneAlone()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        calendar(199907, 199908);
        {
            FileSession outer;
            outer.db().beginTrans();
            Query(outer.db(), QStringLiteral("UPDATE Master SET 内容 = 'outer' WHERE 日付 = ?"))
                .bind(19990705)
                .exec();
            // A read inside keeps the file open and sees the outer change.
            QString text;
            QVERIFY(gMaster.PlanLoad(19990705, text));
            QCOMPARE(text, QStringLiteral("outer"));
            QVERIFY(gDatabase.isOpen());
            // A failure inside does not undo the outer transaction.
            try {
                FileSession inner;
                Query(inner.db(), QStringLiteral("SELECT nothing FROM Master")).exec();
                QFAIL("no error");
            } catch (const EngineError&) {
            }
            QVERIFY(gDatabase.inTransaction());
            QCOMPARE(FileSession::depth(), 1);
            outer.db().commitTrans();
        }
        QCOMPARE(FileSession::depth(), 0);
        QCOMPARE(gDatabase.isOpen(), speed);
        QCOMPARE(ReadDayField(gDataPath, 19990705, QStringLiteral("内容")).toString(),
                 QStringLiteral("outer"));
    }

    void readsForTheViews()
    {
        calendar(199907, 199909);
        SqlPeek(gDataPath).exec(
            QStringLiteral("UPDATE Master SET 平日 = NULL WHERE 日付 = 19990706"));
        // July 1999 began on a Thursday; Saturdays and Sundays are holidays,
        // a missing flag is not.
        const MonthDays july = ReadMonthDays(199907);
        QVERIFY(july.anyFrom);
        QCOMPARE(july.days.size(), 31);
        QCOMPARE(july.days[0].key, 19990701);
        QCOMPARE(july.days[0].week, 4);
        QVERIFY(!july.days[0].holiday);
        QVERIFY(july.days[2].holiday);
        QVERIFY(!july.days[5].holiday);
        // Before the range: days follow, none of the month; after it: none.
        const MonthDays june = ReadMonthDays(199906);
        QVERIFY(june.anyFrom);
        QVERIFY(june.days.isEmpty());
        QVERIFY(!ReadMonthDays(199910).anyFrom);
        QCOMPARE(ReadStoredMonths(), QList<int>({199907, 199908, 199909}));
        QVERIFY(!gDatabase.isOpen());
        SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master"));
        QVERIFY(ReadStoredMonths().isEmpty());
    }

    void planLoadAndSave()
    {
        calendar(199907, 199907);
        QString text = QStringLiteral("untouched");
        QVERIFY(!gMaster.PlanLoad(19990630, text));
        QCOMPARE(text, QStringLiteral("untouched"));
        QVERIFY(!gMaster.PlanLoad(19990700, text));
        QVERIFY(!gMaster.PlanLoad(19990732, text));
        QVERIFY(gMaster.PlanLoad(19990701, text));
        QCOMPARE(text, QString());
        QVERIFY(!gMaster.PlanSave(19990801, QStringLiteral("outside")));
        QCOMPARE(count(), 31);
        QVERIFY(gMaster.PlanSave(19990702, QStringLiteral("一\r\n二\r\n")));
        QVERIFY(gMaster.PlanLoad(19990702, text));
        QCOMPARE(text, QStringLiteral("一\r\n二\r\n"));
        QVERIFY(gMaster.PlanSave(19990702, QString()));
        QVERIFY(gMaster.PlanLoad(19990702, text));
        QCOMPARE(text, QString());
        QVERIFY(!SqlPeek(gDataPath)
                     .one(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = 19990702"))
                     .isNull());
    }

    void damagedFilesAreNeverTouched_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("plain text, not a calendar\n").repeated(50);
        QTest::newRow("truncated header")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\x01');
    }
    void damagedFilesAreNeverTouched()
    {
        QFETCH(QByteArray, contents);
        QFile f(gDataPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
        f.close();
        const QByteArray before = FileDigest(gDataPath);
        QString text;
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanLoad(19990701, text));
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanSave(19990701, text));
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.DateTop());
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.WeekDayClear(true));
        QVERIFY(!gMaster.Update(199907, 199908));
        QCOMPARE(FileDigest(gDataPath), before);
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void tableMissingIsAnError()
    {
        {
            Database db;
            Database::Create(gDataPath);
            db.open(gDataPath);
            db.exec(QStringLiteral("CREATE TABLE Other (x INTEGER)"));
        }
        const QByteArray before = FileDigest(gDataPath);
        QString text;
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanLoad(19990701, text));
        QVERIFY(!gMaster.Update(199907, 199908));
        QCOMPARE(FileDigest(gDataPath), before);
    }

    void vanishedFileIsNotRecreated()
    {
        calendar(199907, 199907);
        QVERIFY(QFile::remove(gDataPath));
        QString text;
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanLoad(19990701, text));
        QVERIFY(!gMaster.Update(199907, 199908));
        QVERIFY(!QFile::exists(gDataPath));
    }

    void staleCompactionCopyIsReplaced()
    {
        calendar(199907, 199907);
        QFile stale(CompactionTarget());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("left over");
        stale.close();
        QVERIFY(gMaster.Update(199907, 199908));
        QVERIFY(!QFile::exists(CompactionTarget()));
        QCOMPARE(count(), 62);
    }

    void interruptedReplacementIsRecovered()
    {
        calendar(199907, 199907);
        QVERIFY(gMaster.PlanSave(19990704, QStringLiteral("残す")));
        QVERIFY(QFile::rename(gDataPath, CompactionTarget()));
        QVERIFY(RecoverCalendarFile());
        QString text;
        QVERIFY(gMaster.PlanLoad(19990704, text));
        QCOMPARE(text, QStringLiteral("残す"));
        // A damaged copy is no calendar: nothing is put in place.
        QVERIFY(QFile::remove(gDataPath));
        QFile broken(CompactionTarget());
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("broken");
        broken.close();
        QVERIFY(!RecoverCalendarFile());
        QVERIFY(!QFile::exists(gDataPath));
    }

    // ---- day kinds and yearly events --------------------------------------

    void toggleOneDay()
    {
        calendar(199907, 200112);
        SqlPeek peek(gDataPath);
        auto workday = [&](int key) {
            return SqlPeek(gDataPath)
                .one(QStringLiteral("SELECT 平日 FROM Master WHERE 日付 = ?"), {key})
                .toBool();
        };
        QVERIFY(workday(19990701));
        gMaster.WeekDayChange(19990701);
        QVERIFY(!workday(19990701));
        gMaster.WeekDayChange(19990701);
        QVERIFY(workday(19990701));
        const QByteArray before = FileDigest(gDataPath);
        gMaster.WeekDayChange(19990632);
        gMaster.WeekDayChange(20020101);
        QCOMPARE(FileDigest(gDataPath), before);

        // The yearly holiday sets, never toggles; one year can be switched back.
        gMaster.WeekDayChangeAll(1, 1);
        for (int key : {20000101, 20010101})
            QVERIFY(!workday(key));
        const QByteArray afterYearly = FileDigest(gDataPath);
        gMaster.WeekDayChangeAll(1, 1);
        QCOMPARE(FileDigest(gDataPath), afterYearly);
        gMaster.WeekDayChange(20010101);
        QVERIFY(workday(20010101));
        QVERIFY(!workday(20000101));
    }

    void yearlyHolidayOnLeapDay()
    {
        calendar(199901, 200412);
        gMaster.WeekDayClear(true);
        gMaster.WeekDayChangeAll(2, 29);
        SqlPeek peek(gDataPath);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0")).toInt(), 2);
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master WHERE 平日 = 0")).toInt(),
                 20000229);
        QCOMPARE(peek.one(QStringLiteral("SELECT max(日付) FROM Master WHERE 平日 = 0")).toInt(),
                 20040229);
    }

    void allDaysOneKind()
    {
        calendar(199907, 200006);
        SqlPeek peek(gDataPath);
        gMaster.WeekDayClear(true);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0")).toInt(), 0);
        gMaster.WeekDayClear(false);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 1")).toInt(), 0);
        gMaster.WeekDayClear(true);
        gMaster.WeekWeekDayChange(0, false);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0")).toInt(),
                 peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 曜日 = 0")).toInt());
        QCOMPARE(
            peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0 AND 曜日 <> 0"))
                .toInt(),
            0);
        gMaster.WeekDayClear(false);
        gMaster.WeekWeekDayChange(6, true);
        QCOMPARE(
            peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 1 AND 曜日 <> 6"))
                .toInt(),
            0);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0 AND 曜日 = 6"))
                     .toInt(),
                 0);
        const QByteArray before = FileDigest(gDataPath);
        gMaster.WeekWeekDayChange(7, true);
        QCOMPARE(FileDigest(gDataPath), before);
    }

    void yearlyEventInsertion()
    {
        calendar(199901, 200112);
        QVERIFY(gMaster.PlanSave(20000715, QStringLiteral("A\r\nB")));
        gMaster.PlanInsert(7, 15, QStringLiteral("海の日"));
        SqlPeek peek(gDataPath);
        QCOMPARE(
            peek.one(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = 19990715")).toString(),
            QStringLiteral("海の日\r\n"));
        QCOMPARE(
            peek.one(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = 20000715")).toString(),
            QStringLiteral("海の日\r\nA\r\nB"));
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 内容 <> ''")).toInt(),
                 3);
        gMaster.PlanInsert(7, 15, QStringLiteral("海の日"));
        QCOMPARE(
            peek.one(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = 20010715")).toString(),
            QStringLiteral("海の日\r\n海の日\r\n"));
        gMaster.PlanInsert(2, 29, QStringLiteral("閏"));
        QCOMPARE(
            peek.one(QStringLiteral("SELECT count(*) FROM Master WHERE 内容 LIKE '閏%'")).toInt(),
            1);
        const QByteArray before = FileDigest(gDataPath);
        gMaster.PlanInsert(2, 30, QStringLiteral("無い日"));
        QCOMPARE(FileDigest(gDataPath), before);
    }

    void publicHolidaysOnlyBecomeHolidays()
    {
        calendar(201801, 202212);
        // A holiday Saturday made a workday, a workday Sunday, a marked
        // Wednesday, and a substitute holiday without a flag.
        for (int key : {20190504, 20190512, 20190605})
            gMaster.WeekDayChange(key);
        SqlPeek peek(gDataPath);
        QVERIFY(peek.exec(QStringLiteral("UPDATE Master SET 平日 = NULL WHERE 日付 = 20200224")));
        const QString kinds = QStringLiteral("SELECT 日付, 平日 FROM Master ORDER BY 日付");
        const QList<QVariantList> before = peek.rows(kinds);
        gMaster.PublicHolidaySet();
        const QList<QVariantList> after = peek.rows(kinds);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const int key = before[i][0].toInt();
            const bool holiday = !JapaneseHolidayName(KeyToDate(key)).isEmpty();
            QCOMPARE(QString::number(key) + after[i][1].toString(),
                     QString::number(key) +
                         (holiday ? QStringLiteral("0") : before[i][1].toString()));
        }
        const QByteArray marked = FileDigest(gDataPath);
        gMaster.PublicHolidaySet();
        QCOMPARE(FileDigest(gDataPath), marked);
    }

    void bulkOperationErrorLeavesTheFileAsItWas()
    {
        calendar(199907, 199912);
        // A trigger that fails half-way through the walk.
        QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral(
            "CREATE TRIGGER fail BEFORE UPDATE ON Master WHEN old.日付 IN (19991001, 19991002) "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")));
        const QByteArray before = FileDigest(gDataPath);
        try {
            gMaster.WeekDayClear(true);
            QFAIL("no error");
        } catch (const EngineError& e) {
            QVERIFY(e.message().contains(QLatin1String("injected failure")));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanInsert(10, 1, QStringLiteral("x")));
        QCOMPARE(FileDigest(gDataPath), before);
        QVERIFY(!gDatabase.isOpen());
        QVERIFY(!gDatabase.inTransaction());
        // The holidays of 1999-09-15 and 09-23 are written before the
        // failure on 10-11, and go back with it.
        QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral(
            "CREATE TRIGGER failOnHoliday BEFORE UPDATE ON Master WHEN old.日付 = 19991011 "
            "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")));
        const QByteArray beforeHolidays = FileDigest(gDataPath);
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PublicHolidaySet());
        QCOMPARE(FileDigest(gDataPath), beforeHolidays);
        QVERIFY(!gDatabase.isOpen());
        QVERIFY(!gDatabase.inTransaction());
        SqlPeek(gDataPath).exec(QStringLiteral("DROP TRIGGER failOnHoliday"));
        SqlPeek(gDataPath).exec(QStringLiteral("DROP TRIGGER fail"));
        gMaster.WeekDayClear(true);
        QCOMPARE(SqlPeek(gDataPath)
                     .one(QStringLiteral("SELECT count(*) FROM Master WHERE 平日 = 0"))
                     .toInt(),
                 0);
    }
};

ZEDU_TEST_MAIN(tst_clsMaster)
#include "tst_clsMaster.moc"
