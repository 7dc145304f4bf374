// Times a search of the whole diary through the search window's own code
// (the query folded, every hit found, the rows filled with their lines, the
// list drawn) beside plain SQL that only picks the days holding the same
// text with instr(), on a calendar of 100 years (2000-2099) with a Japanese
// entry of about 300 characters on every day. Prints one line per query:
//   <query>  window <ms> ms  baseline <ms> ms  search ratio <window/baseline>
// then the time from the last key typed to the results drawn.
// Run from a release build: build/release/bench/zedu_bench_search

#include "bench/BenchTiming.h"
#include "bench/BenchWindow.h"
#include "store/Engine.h"
#include "ui/frmMain.h"
#include "ui/frmSearch.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

// Phrases of a diary; the days are strung from them by a fixed sequence, so
// every run writes the same text. Half-width kana and full-width letters
// make the folding work as it does on real entries.
const char16_t* const kPhrases[] = {
    u"今日は朝から雨が降っていた。",
    u"東京へ出張。",
    u"昼はラーメンを食べた。",
    u"会議は十時から。",
    u"友達とｶﾗｵｹに行った。",
    u"天気は晴れ。",
    u"夕方に雨がやんだ。",
    u"ＡＢＣ社と打ち合わせ。",
    u"駅前の本屋で新刊を買った。",
    u"家族と夕食。",
    u"電車が遅れた。",
    u"映画を見た。",
    u"仕事が忙しい一日だった。",
    u"\r\n",
    u"散歩をして公園で休んだ。",
    u"早く寝ることにする。",
    u"雪が少し積もった。",
    u"新しい手帳を使い始めた。",
    u"メールの返事を書いた。",
    u"週末は実家に帰る予定。",
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

// Runs the event loop until `list` has drawn itself after its rows were
// replaced.
void waitForDrawnRows(QAbstractItemView* list)
{
    QEventLoop loop;
    bool replaced = false;
    const auto reset =
        QObject::connect(list->model(), &QAbstractItemModel::modelReset, [&] { replaced = true; });
    struct Painted : QObject
    {
        bool* replaced;
        QEventLoop* loop;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() != QEvent::Paint || !*replaced)
                return false;
            // Drawn here, so that the time taken includes the drawing.
            static_cast<QWidget*>(watched)->removeEventFilter(this);
            QCoreApplication::sendEvent(watched, event);
            loop->quit();
            return true;
        }
    } painted;
    painted.replaced = &replaced;
    painted.loop = &loop;
    list->viewport()->installEventFilter(&painted);
    loop.exec();
    QObject::disconnect(reset);
}

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

    // The window reads and folds the whole diary once, as soon as it is
    // shown; the searches after that only search.
    QElapsedTimer opening;
    opening.start();
    window.mnuFind_Click();
    QCoreApplication::processEvents();
    std::printf("%-28s %9.3f ms\n", "window opened, diary read", opening.nsecsElapsed() / 1e6);
    frmSearch* search = window.searchWindow();
    auto* field = search->findChild<QLineEdit*>(QStringLiteral("txtFind"));
    auto* list = search->findChild<QAbstractItemView*>(QStringLiteral("lstFound"));

    QSqlDatabase plain =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
    plain.setDatabaseName(gDataPath);
    plain.open();
    constexpr int runs = 11;
    const struct
    {
        const char* name;
        QString text;
        QStringList terms;
    } queries[] = {
        {"1 character: 雨", QStringLiteral("雨"), {QStringLiteral("雨")}},
        {"2 characters: 東京", QStringLiteral("東京"), {QStringLiteral("東京")}},
        {"2 terms: 東京 ラーメン",
         QStringLiteral("東京 ラーメン"),
         {QStringLiteral("東京"), QStringLiteral("ラーメン")}},
    };
    for (const auto& query : queries) {
        const QString text = query.text;
        const QStringList terms = query.terms;
        auto type = [&] {
            // The text as typed; the search the pause would start is timed.
            field->setText(text);
        };
        auto searchAndDraw = [&] {
            search->search();
            list->viewport()->repaint();
        };
        QString sql = QStringLiteral("SELECT 日付 FROM Master WHERE instr(内容, ?) > 0");
        for (qsizetype i = 1; i < terms.size(); ++i)
            sql += QStringLiteral(" AND instr(内容, ?) > 0");
        auto plainSql = [&] {
            QSqlQuery q(plain);
            q.setForwardOnly(true);
            q.prepare(sql);
            for (const QString& term : terms)
                q.addBindValue(term);
            q.exec();
            QList<int> keys;
            while (q.next())
                keys << q.value(0).toInt();
        };
        report(query.name, median(runs, type, searchAndDraw),
               median(
                   runs, [] {}, plainSql),
               "window", "search ratio");
        std::printf("%-28s %lld days, %d hits\n", "", qlonglong(search->results().days.size()),
                    search->results().hitCount());
    }

    // From the last key of 東京 to the results drawn: the pause after the
    // key, the search and the drawing.
    std::vector<double> keyToPaint;
    for (int i = 0; i < runs; ++i) {
        field->setText(QStringLiteral("東"));
        search->search();
        QCoreApplication::processEvents();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("京"));
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(field, &key);
        waitForDrawnRows(list);
        keyToPaint.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-28s %9.3f ms  (pause after the key %d ms)\n", "last key to drawn results",
                medianOf(keyToPaint), frmSearch::kPauseMs);
    plain.close();
    plain = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    window.Form_Unload();
    return 0;
}
