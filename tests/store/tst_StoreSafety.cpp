// The calendar under failures: a process killed at each point of a range
// change, errors injected inside it and inside the bulk operations, a file
// that another process holds locked, and an empty file.

#include "platform/Clock.h"
#include "platform/Globals.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <csignal>
#include <future>
#include <sys/stat.h>
#include <sys/types.h>
#include <thread>

namespace {

// Holds a write lock on `path` from another thread, on a connection of its
// own, until `release` is fulfilled.
class LockHolder
{
public:
    LockHolder(const QString& path, std::shared_future<void> release)
    {
        std::promise<bool> taken;
        mTaken = taken.get_future();
        mThread = std::thread([path, release, taken = std::move(taken)]() mutable {
            const QString name = QStringLiteral("holder");
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(path);
                bool ok = db.open();
                QSqlQuery q(db);
                ok = ok && q.exec(QStringLiteral("BEGIN EXCLUSIVE"));
                taken.set_value(ok);
                release.wait();
                q.exec(QStringLiteral("COMMIT"));
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        });
    }
    ~LockHolder() { mThread.join(); }
    bool taken() { return mTaken.get(); }

private:
    std::future<bool> mTaken;
    std::thread mThread;
};

const QList<int> kEntryDays{20260101, 20260615, 20261231};

} // namespace

class tst_StoreSafety : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    void calendar(int top, int bottom)
    {
        {
            ScriptedDialogs boxes;
            boxes.yes();
            boxes.yes();
            QVERIFY(gMaster.Create());
        }
        if (gOpenFlag)
            gDatabase.open(gDataPath);
        QVERIFY(gMaster.Update(top, bottom));
        for (int day : kEntryDays)
            QVERIFY(gMaster.PlanSave(day, QStringLiteral("予定 %1\r\n𠮷").arg(day)));
        gMaster.WeekDayChange(20260615);
    }

    // The file holds exactly the months top..bottom and every entry and flag
    // made by calendar().
    void expectRange(int top, int bottom, int records)
    {
        QVERIFY(IsIntactCalendar(gDataPath));
        SqlPeek peek(gDataPath);
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master")).toInt(), top);
        QCOMPARE(peek.one(QStringLiteral("SELECT max(日付) FROM Master")).toInt(), bottom);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master")).toInt(), records);
        for (int day : kEntryDays)
            QCOMPARE(peek.one(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = ?"), {day})
                         .toString(),
                     QStringLiteral("予定 %1\r\n𠮷").arg(day));
        // 15 June 2026 is a Monday, switched to a holiday.
        QCOMPARE(peek.one(QStringLiteral("SELECT 平日 FROM Master WHERE 日付 = 20260615")).toBool(),
                 false);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        Clock::setTodayForTesting(QDate(2026, 1, 5));
    }

    void cleanup()
    {
        gMaster.setUpdatePhaseHookForTesting({});
        gDatabase.close();
        dir.reset();
    }

    void killedAtEachPointOfARangeChange_data()
    {
        QTest::addColumn<int>("phase");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("replacementLost");
        QTest::newRow("inside the transaction")
            << int(clsMaster::UpdatePhase::Filled) << false << false;
        QTest::newRow("committed, not compacted")
            << int(clsMaster::UpdatePhase::Committed) << true << false;
        QTest::newRow("compacted, not replaced")
            << int(clsMaster::UpdatePhase::Compacted) << true << false;
        QTest::newRow("replaced") << int(clsMaster::UpdatePhase::Replaced) << true << false;
        // A replacement that removed the calendar but did not give the copy
        // its name (as a replace on Windows can end) leaves only New.vad.
        QTest::newRow("only the copy left")
            << int(clsMaster::UpdatePhase::Compacted) << true << true;
    }
    void killedAtEachPointOfARangeChange()
    {
        QFETCH(int, phase);
        QFETCH(bool, changed);
        QFETCH(bool, replacementLost);
        calendar(202601, 202612);

        QProcess host;
        host.start(QStringLiteral(ZEDU_STOREHOST),
                   {QStringLiteral("stop"), gDataPath, QString::number(phase),
                    QStringLiteral("202501"), QStringLiteral("202712")});
        QVERIFY(host.waitForStarted(60000));
        while (!host.canReadLine())
            QVERIFY2(host.waitForReadyRead(60000), "the host never reached the phase");
        QCOMPARE(QString::fromUtf8(host.readLine()).trimmed(),
                 QStringLiteral("phase %1").arg(phase));
        ::kill(pid_t(host.processId()), SIGKILL);
        QVERIFY(host.waitForFinished(60000));

        if (replacementLost) {
            QVERIFY(QFile::exists(CompactionTarget()));
            QVERIFY(QFile::remove(gDataPath));
            QVERIFY(RecoverCalendarFile());
        } else {
            // A calendar is in place: nothing is recovered over it.
            QVERIFY(!RecoverCalendarFile());
        }
        if (changed)
            expectRange(20250101, 20271231, 365 * 3);
        else
            expectRange(20260101, 20261231, 365);

        // The next range change starts clean, a left-over copy included.
        QVERIFY(gMaster.Update(202601, 202612));
        expectRange(20260101, 20261231, 365);
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void failureInsideTheChangeRollsBackAndCloses_data() { AddSpeedPriorityRows(); }
    void failureInsideTheChangeRollsBackAndCloses()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        calendar(202601, 202612);
        const QByteArray before = FileDigest(gDataPath);
        gMaster.setUpdatePhaseHookForTesting([](clsMaster::UpdatePhase phase) {
            if (phase == clsMaster::UpdatePhase::Filled)
                throw EngineError(gDataPath, QStringLiteral("injected failure"));
        });
        QVERIFY(!gMaster.Update(202501, 202712));
        // With speed priority on too: the next operation opens it afresh.
        QVERIFY(!gDatabase.isOpen());
        QVERIFY(!gDatabase.inTransaction());
        QCOMPARE(FileDigest(gDataPath), before);
        QVERIFY(!QFile::exists(CompactionTarget()));
        // Nothing holds the file: it can be locked and deleted.
        SqlPeek other(gDataPath);
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QVERIFY(other.exec(QStringLiteral("COMMIT")));
    }

    void failedCompactionKeepsTheCommittedChange_data()
    {
        failureInsideTheChangeRollsBackAndCloses_data();
    }
    void failedCompactionKeepsTheCommittedChange()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        calendar(202601, 202612);
        gMaster.setUpdatePhaseHookForTesting([](clsMaster::UpdatePhase phase) {
            if (phase == clsMaster::UpdatePhase::Compacted)
                throw EngineError(CompactionTarget(), QStringLiteral("injected failure"));
        });
        QVERIFY(gMaster.Update(202501, 202712));
        QCOMPARE(gDatabase.isOpen(), speed);
        QVERIFY(!QFile::exists(CompactionTarget()));
        gDatabase.close();
        expectRange(20250101, 20271231, 365 * 3);
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(gDataPath).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    void bulkFailureWithSpeedPriorityOn()
    {
        gOpenFlag = true;
        calendar(202601, 202612);
        QVERIFY(SqlPeek(gDataPath).exec(
            QStringLiteral("CREATE TRIGGER fail BEFORE UPDATE ON Master WHEN old.日付 = 20260701 "
                           "BEGIN SELECT RAISE(ABORT, 'injected failure'); END")));
        const QByteArray before = FileDigest(gDataPath);
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.WeekDayClear(false));
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.WeekWeekDayChange(3, false));
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.WeekDayChangeAll(7, 1));
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanInsert(7, 1, QStringLiteral("行事")));
        // The failed handle was let go.
        QVERIFY(!gDatabase.isOpen());
        QVERIFY(!gDatabase.inTransaction());
        QCOMPARE(FileDigest(gDataPath), before);
        // The next operation opens the file again, works, and keeps it open.
        gMaster.PlanInsert(7, 2, QStringLiteral("行事"));
        QVERIFY(gDatabase.isOpen());
        QString text;
        QVERIFY(gMaster.PlanLoad(20260702, text));
        QCOMPARE(text, QStringLiteral("行事\r\n"));
    }

    void lockedFileIsWaitedForBriefly()
    {
        calendar(202601, 202612);
        {
            // Released soon: the operation waits and then succeeds.
            std::promise<void> release;
            LockHolder holder(gDataPath, release.get_future().share());
            QVERIFY(holder.taken());
            std::thread releaser([&release] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                release.set_value();
            });
            const bool saved = gMaster.PlanSave(20260102, QStringLiteral("待った"));
            releaser.join();
            QVERIFY(saved);
        }
        QString text;
        QVERIFY(gMaster.PlanLoad(20260102, text));
        QCOMPARE(text, QStringLiteral("待った"));
        {
            // Held on: the operation gives up with the engine's message.
            std::promise<void> release;
            LockHolder holder(gDataPath, release.get_future().share());
            QVERIFY(holder.taken());
            try {
                gMaster.PlanSave(20260102, QStringLiteral("x"));
                release.set_value();
                QFAIL("saved into a locked file");
            } catch (const EngineError& e) {
                release.set_value();
                QVERIFY2(e.message().contains(QLatin1String("locked")), qPrintable(e.text()));
                QVERIFY(e.text().contains(gDataPath));
            }
            QVERIFY(!gDatabase.isOpen());
        }
    }

    void generatedDaysAtTheEndsOfTheCalendar_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("bottom");
        QTest::newRow("the first years") << 101 << 10003;
        QTest::newRow("across the year 10000") << 999911 << 1000003;
        QTest::newRow("one month") << 202402 << 202402;
    }
    void generatedDaysAtTheEndsOfTheCalendar()
    {
        QFETCH(int, top);
        QFETCH(int, bottom);
        {
            ScriptedDialogs boxes;
            boxes.yes();
            boxes.yes();
            QVERIFY(gMaster.Create());
        }
        QVERIFY(gMaster.Update(top, bottom));
        SqlPeek peek(gDataPath);
        const auto rows = peek.rows(QStringLiteral(
            "SELECT 日付, 曜日, 平日, 内容, typeof(平日) FROM Master ORDER BY 日付"));
        QDate day(top / 100, top % 100, 1);
        const QDate end = QDate(bottom / 100, bottom % 100, 1).addMonths(1);
        QCOMPARE(rows.size(), int(day.daysTo(end)));
        for (const QVariantList& row : rows) {
            const int week = day.dayOfWeek() % 7;
            QCOMPARE(row[0].toInt(), day.year() * 10000 + day.month() * 100 + day.day());
            QCOMPARE(row[1].toInt(), week);
            QCOMPARE(row[2].toInt(), week != 0 && week != 6 ? 1 : 0);
            QCOMPARE(row[3].toString(), QString());
            QVERIFY(!row[3].isNull());
            QCOMPARE(row[4].toString(), QStringLiteral("integer"));
            day = day.addDays(1);
        }
    }

    void calendarRemovedUnderAnOpenHandle()
    {
        gOpenFlag = true;
        calendar(202601, 202612);
        QVERIFY(gDatabase.isOpen());
        QVERIFY(QFile::remove(gDataPath));
        QString text;
        QVERIFY_THROWS_EXCEPTION(EngineError, gMaster.PlanLoad(20260101, text));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 gMaster.PlanSave(20260101, QStringLiteral("消えた先へ")));
        QVERIFY(!gMaster.Update(202601, 202712));
        QVERIFY(!QFile::exists(gDataPath));
        QVERIFY(!QFile::exists(CompactionTarget()));
    }

    void orphanJournalIsSetAsideBeforeRecovery()
    {
        calendar(202601, 202612);
        // A journal of a large transaction cut short (large enough to spill
        // pages into the file), then the calendar taken away, and a copy of
        // it left that differs from it by one entry.
        QVERIFY(QFile::copy(gDataPath, CompactionTarget()));
        QVERIFY(WriteDayEntry(CompactionTarget(), 20260301, QStringLiteral("写しだけ")));
        QProcess host;
        host.start(QStringLiteral(ZEDU_STOREHOST),
                   {QStringLiteral("stop"), gDataPath,
                    QString::number(int(clsMaster::UpdatePhase::Filled)), QStringLiteral("180001"),
                    QStringLiteral("219912")});
        while (!host.canReadLine())
            QVERIFY(host.waitForReadyRead(60000));
        ::kill(pid_t(host.processId()), SIGKILL);
        QVERIFY(host.waitForFinished(60000));
        const QString journal = gDataPath + QStringLiteral("-journal");
        QVERIFY(QFile::exists(journal));
        QVERIFY(QFile::remove(gDataPath));

        QVERIFY(RecoverCalendarFile());
        QVERIFY(!QFile::exists(journal));
        QVERIFY(QFile::exists(journal + QStringLiteral(".orphan")));
        expectRange(20260101, 20261231, 365);
        // Played back, the journal would have put the old page over this.
        QCOMPARE(ReadDayField(gDataPath, 20260301, QStringLiteral("内容")).toString(),
                 QStringLiteral("写しだけ"));
    }

    void emptyFileIsNamedAsSuch()
    {
        QFile f(gDataPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QString text;
        try {
            gMaster.PlanLoad(20260101, text);
            QFAIL("read from an empty file");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().contains(QLatin1String("empty")), qPrintable(e.text()));
        }
        QVERIFY(!gMaster.Update(202601, 202612));
        QCOMPARE(QFileInfo(gDataPath).size(), 0);
        QVERIFY(!QFile::exists(gDataPath + QStringLiteral("-journal")));
    }
};

ZEDU_TEST_MAIN(tst_StoreSafety)
#include "tst_StoreSafety.moc"
