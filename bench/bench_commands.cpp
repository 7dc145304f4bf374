// Times the Edit menu's bulk commands as the user runs them, through the main
// window's handlers (question answered, backup, busy phase, store call, redraw
// of the month grid), beside the backup and the store call alone, on a
// calendar of 100 years (36,525 days). Prints one line per command:
//   <command>  handler <ms> ms  baseline <ms> ms  ratio <handler/store>
// Run from a release build: build/release/bench/zedu_bench_commands

#include "bench/BenchTiming.h"
#include "bench/BenchWindow.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "ui/frmMain.h"
#include "view/clsCalendar.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

int main(int argc, char* argv[])
{
    WindowBench bench(argc, argv);
    if (!bench.ready())
        return 1;
    YesDialogs& dialogs = bench.dialogs;

    frmMain window;
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    const int week = 3; // the grid's current cell is 15 June 2050, a Wednesday
    // Disk flushes vary a lot from run to run here: many runs, the median.
    constexpr int runs = 21;
    auto nothing = [] {
    };

    // Each run finds every day it touches of the other kind, so that it
    // writes; the set-up before it is not timed.
    auto allWorkdays = [] {
        gMaster.WeekDayClear(true);
    };
    auto allHolidays = [] {
        gMaster.WeekDayClear(false);
    };
    // The commands back the calendar up before they change it; so does the
    // baseline.
    auto backedUp = [](std::function<void()> storeCall) {
        return [storeCall] {
            BackupCalendar();
            storeCall();
        };
    };
    report("毎年休日設定", median(runs, allWorkdays, [&] { window.mnuChangeAll_Click(); }),
           median(runs, allWorkdays, backedUp([] { gMaster.WeekDayChangeAll(6, 15); })), "handler");
    report("全て平日", median(runs, allHolidays, [&] { window.mnuWeekDayAll_Click(); }),
           median(runs, allHolidays, backedUp([] { gMaster.WeekDayClear(true); })), "handler");
    report("全て休日", median(runs, allWorkdays, [&] { window.mnuNotWeekDayAll_Click(); }),
           median(runs, allWorkdays, backedUp([] { gMaster.WeekDayClear(false); })), "handler");
    report("全曜日平日", median(runs, allHolidays, [&] { window.mnuWeekAll_Click(); }),
           median(runs, allHolidays, backedUp([] { gMaster.WeekWeekDayChange(week, true); })),
           "handler");
    report("全曜日休日", median(runs, allWorkdays, [&] { window.mnuWeekNotAll_Click(); }),
           median(runs, allWorkdays, backedUp([] { gMaster.WeekWeekDayChange(week, false); })),
           "handler");
    dialogs.answer = QStringLiteral("行事");
    report(
        "毎年行事挿入", median(runs, nothing, [&] { window.mnuPlanAll_Click(); }),
        median(runs, nothing, backedUp([] { gMaster.PlanInsert(6, 15, QStringLiteral("行事")); })),
        "handler");
    report("祝日を休日に設定", median(runs, allWorkdays, [&] { window.mnuPublicHolidays_Click(); }),
           median(runs, allWorkdays, backedUp([] { gMaster.PublicHolidaySet(); })), "handler");
    // The lists, on the same 100 years with a three-line entry on every day,
    // beside plain SQL reading the same rows and formatting the same dates.
    {
        QSqlDatabase plain =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
        plain.setDatabaseName(gDataPath);
        plain.open();
        QSqlQuery(plain).exec(QStringLiteral(
            "UPDATE Master SET 内容 = '会議 10:00' || char(13, 10) || '買い物' || char(13, 10) || "
            "'夕食 19:00'"));
        auto readPlain = [&plain](const QString& sql) {
            return [&plain, sql] {
                QSqlQuery q(plain);
                q.setForwardOnly(true);
                q.exec(sql);
                QStringList dates;
                QStringList entries;
                while (q.next()) {
                    const int key = q.value(0).toInt();
                    dates << QStringLiteral("%1/%2/%3(%4)")
                                 .arg(key / 10000, 4, 10, QLatin1Char('0'))
                                 .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
                                 .arg(key % 100, 2, 10, QLatin1Char('0'))
                                 .arg(gWeekNames.value(q.value(1).toInt()));
                    entries << q.value(3).toString();
                }
            };
        };
        auto backToMonth = [&] {
            window.mnuDispMode_Click(0);
        };
        constexpr int listRuns = 5;
        report("全暦一覧を開く",
               median(listRuns, backToMonth, [&] { window.mnuDispMode_Click(1); }),
               median(listRuns, nothing,
                      readPlain(QStringLiteral("select * from Master order by 日付;"))),
               "handler", "list ratio");
        report("予定がある日だけの一覧を開く",
               median(listRuns, backToMonth, [&] { window.mnuDispMode_Click(2); }),
               median(listRuns, nothing,
                      readPlain(
                          QStringLiteral("select * from Master where 内容 <> '' order by 日付;"))),
               "handler", "list ratio");
        // Scrolling the open list from the current day to its end, drawn.
        QElapsedTimer timer;
        timer.start();
        window.findChild<QAbstractItemView*>(QStringLiteral("greList"))->scrollToBottom();
        QCoreApplication::processEvents();
        std::printf("%-28s %9.3f ms\n", "一覧を最後までスクロール", timer.nsecsElapsed() / 1e6);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    window.Form_Unload();
    return 0;
}
