// Times the figures of the whole diary and the days of earlier years, on a
// calendar of 100 years (2000-2099) with an entry of about 300 characters on
// every day (a few lines with emoji and half-width voiced marks among them,
// which the counting hands to the grapheme finder), through the code the
// 記録 window and 過去の同じ日 run. Prints:
//   figures ...  insight <ms> ms  baseline <ms> ms  stats ratio <x>
// beside plain SQL aggregating the same figures in one statement (which
// counts code points, not what is seen, and trims fewer kinds of space),
// once with every entry counted afresh and once after a save;
//   過去の同じ日 ...  window <ms> ms  baseline <ms> ms  ratio <x>
// (the list made and the window's rows filled) beside plain SQL picking the
// same month and day of every earlier year, then the list alone and the
// drawing of the rows shown.
// Run from a release build: build/release/bench/zedu_bench_insight

#include "bench/BenchTiming.h"
#include "bench/BenchWindow.h"
#include "insight/DiaryFigures.h"
#include "insight/OnThisDay.h"
#include "search/DiaryIndex.h"
#include "store/Engine.h"
#include "ui/InsightFeed.h"
#include "ui/frmMain.h"
#include "ui/frmOnThisDay.h"
#include "view/clsCalendar.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeWidget>

namespace {

const char16_t* const kPhrases[] = {
    u"今日は朝から雨が降っていた。",
    u"東京へ出張。",
    u"昼はラーメンを食べた。",
    u"会議は十時から。",
    u"友達とｶﾗｵｹに行った。",
    u"天気は晴れ。",
    u"\r\n",
    u"夕方に雨がやんだ。",
    u"ＡＢＣ社と打ち合わせ。",
    u"駅前の本屋で新刊を買った。",
    u"おいしかった\U0001F44D",
    u"家族と夕食。",
    u"電車が遅れた。",
    u"散歩をして公園で休んだ。",
    u"早く寝ることにする。",
};

QString dayText(quint32& seed)
{
    QString text;
    while (text.size() < 300) {
        seed = seed * 1103515245u + 12345u;
        text += QString::fromUtf16(kPhrases[(seed >> 16) % std::size(kPhrases)]);
    }
    return text;
}

QList<DayEntry> entriesOf(DiaryIndex& index)
{
    QList<DayEntry> days;
    const QList<IndexedDay> indexed = index.days();
    days.reserve(indexed.size());
    for (const IndexedDay& day : indexed)
        days.append({day.key, day.week, day.text});
    return days;
}

// The same figures in plain SQL: per month the days written and their
// characters (line breaks left out), the longest entry, and the runs of
// written days (gaps and islands) for the longest and the current streak.
const char* const kFiguresSql = R"(
WITH d AS MATERIALIZED (
    SELECT 日付 AS k,
           length(replace(replace(内容, char(13), ''), char(10), '')) AS n,
           trim(内容, ' ' || char(9) || char(10) || char(13) || '　') <> '' AS w
    FROM Master WHERE 日付 BETWEEN ? AND ?),
runs AS MATERIALIZED (
    SELECT k, julianday(substr(k, 1, 4) || '-' || substr(k, 5, 2) || '-' || substr(k, 7, 2))
              - row_number() OVER (ORDER BY k) AS g
    FROM d WHERE w)
SELECT 1, k / 100, sum(w), sum(CASE WHEN w THEN n ELSE 0 END) FROM d GROUP BY k / 100
UNION ALL
SELECT * FROM (SELECT 2, k, n, 0 FROM d WHERE w ORDER BY n DESC, k LIMIT 1)
UNION ALL
SELECT * FROM (SELECT 3, min(k), max(k), count(*) FROM runs GROUP BY g
               ORDER BY count(*) DESC, min(k) LIMIT 1)
UNION ALL
SELECT 4, 0, 0, count(*) FROM runs WHERE g = (SELECT g FROM runs WHERE k = ?)
)";

} // namespace

int main(int argc, char* argv[])
{
    WindowBench bench(argc, argv);
    if (!bench.ready())
        return 1;
    {
        gDatabase.beginTrans();
        Query write(gDatabase, QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
        Query days(gDatabase, QStringLiteral("SELECT 日付 FROM Master ORDER BY 日付"));
        days.exec();
        QList<int> keys;
        while (days.next())
            keys << days.value(0).toInt();
        days.finish();
        quint32 seed = 1;
        for (const int key : keys)
            write.bind(dayText(seed)).bind(key).exec();
        gDatabase.commitTrans();
    }

    frmMain window;
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();

    // The first opening reads the diary into the index and counts it.
    QElapsedTimer opening;
    opening.start();
    window.mnuOnThisDay_Click();
    QCoreApplication::processEvents();
    std::printf("%-34s %9.3f ms\n", "過去の同じ日 opened, diary read",
                opening.nsecsElapsed() / 1e6);
    DiaryIndex* index = window.diaryIndex();

    QSqlDatabase plain =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
    plain.setDatabaseName(gDataPath);
    plain.open();
    const QDate today = Clock::Today();
    const int todayKey = today.year() * 10000 + today.month() * 100 + today.day();
    auto plainFigures = [&] {
        QSqlQuery q(plain);
        q.setForwardOnly(true);
        q.prepare(QString::fromUtf8(kFiguresSql));
        q.addBindValue(20000101);
        q.addBindValue(20991231);
        q.addBindValue(todayKey);
        q.exec();
        qint64 sum = 0;
        while (q.next())
            sum += q.value(3).toLongLong();
        if (sum == 0)
            std::fprintf(stderr, "the baseline found nothing\n");
    };

    // Every entry counted afresh from the index, then the figures.
    DiaryTally tally;
    DiaryFigures figures;
    report("figures of 100 years, counted",
           median(
               11, [&] { tally = DiaryTally(); },
               [&] {
                   tally.update(entriesOf(*index));
                   figures = ComputeFigures(tally, 200001, 209912, today);
               }),
           median(
               11, [] {}, plainFigures),
           "insight", "stats ratio");
    std::printf("%-34s %d days written, %lld characters\n", "", figures.daysWritten,
                qlonglong(figures.characters));
    // After a save: one entry counted again.
    quint32 seed = 99;
    report("figures of 100 years, after a save",
           median(
               11, [&] { tally.update(entriesOf(*index)); },
               [&] {
                   QList<DayEntry> days = entriesOf(*index);
                   days[days.size() / 2].text = dayText(seed);
                   tally.update(days);
                   figures = ComputeFigures(tally, 200001, 209912, today);
               }),
           median(
               11, [] {}, plainFigures),
           "insight", "stats ratio");

    // 過去の同じ日 of the last year's day: 99 earlier years, through the
    // window (the list made and the rows filled, then drawn).
    frmOnThisDay* past = window.onThisDayWindow();
    auto* rows = past->findChild<QTreeWidget*>(QStringLiteral("lstPast"));
    auto plainPast = [&] {
        QSqlQuery q(plain);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT 日付, 内容 FROM Master WHERE 日付 % 10000 = ? AND "
                                 "日付 < ? ORDER BY 日付 DESC"));
        q.addBindValue(615);
        q.addBindValue(20990615);
        q.exec();
        int n = 0;
        while (q.next())
            n += q.value(1).toString().size() > 0;
        if (n == 0)
            std::fprintf(stderr, "the baseline found nothing\n");
    };
    report("過去の同じ日, 100 years",
           median(
               21, [&] { past->setDay(20990614); }, [&] { past->setDay(20990615); }),
           median(
               21, [] {}, plainPast),
           "window", "ratio");
    std::printf("%-34s %d rows\n", "", rows->topLevelItemCount());
    // Its parts: the list alone, and the drawing of the rows shown.
    const DiaryTally& counted = window.findChild<InsightFeed*>()->tally();
    std::vector<double> listTimes;
    std::vector<double> drawTimes;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QList<PastDay> list = PastDaysOf(counted, 20990615);
        listTimes.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        rows->viewport()->repaint();
        drawTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-34s list %.3f ms, rows drawn %.3f ms\n", "", medianOf(listTimes),
                medianOf(drawTimes));

    plain.close();
    plain = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    window.Form_Unload();
    return 0;
}
