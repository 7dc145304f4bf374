// Counting the diary: characters as seen, written days, the figures of a
// range, the shades of the squares, the days of earlier years, and the
// command line's two forms of the figures.

#include "insight/DiaryFigures.h"
#include "insight/DiaryTally.h"
#include "insight/FiguresReport.h"
#include "insight/OnThisDay.h"
#include "insight/ShadeScale.h"
#include "insight/TextCount.h"
#include "platform/DayKey.h"
#include "tests/insight/AwkwardDiary.h"
#include "tests/support/TestMain.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace {

// Every day of the months `fromYm` to `toYm` with the entries given, the
// others empty.
QList<DayEntry> diary(int fromYm, int toYm, const QList<std::pair<int, QString>>& entries)
{
    QList<DayEntry> days;
    for (QDate d(fromYm / 100, fromYm % 100, 1); YearMonthOf(d) <= toYm; d = d.addDays(1))
        days.append({DayKey(d), d.dayOfWeek() % 7, QString()});
    for (const auto& [key, text] : entries)
        for (DayEntry& day : days)
            if (day.key == key)
                day.text = text;
    return days;
}

DiaryTally tallied(const QList<DayEntry>& days)
{
    DiaryTally tally;
    tally.update(days);
    return tally;
}

// A text with `n` characters.
QString ofLength(int n)
{
    return QString(n, QChar(u'字'));
}

} // namespace

class tst_Insight : public QObject
{
    Q_OBJECT

private slots:
    void counting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("characters");
        QTest::addColumn<bool>("written");
        auto row = [](const char* name, const char16_t* text, int characters, bool written) {
            QTest::newRow(name) << QString::fromUtf16(text) << characters << written;
        };
        row("empty", u"", 0, false);
        row("white space only", u"  \r\n\u3000\t\n", 0, false);
        row("line breaks only", u"\r\n\r\n", 0, false);
        row("Japanese", u"今日は晴れ", 5, true);
        row("CR LF not counted", u"朝\r\n昼\r\n", 2, true);
        row("lone CR and LF not counted", u"a\rb\nc\r\n\rd", 4, true);
        row("other white space counted", u" a b\tc\u3000", 7, true);
        row("combining acute", u"cafe\u0301", 4, true);
        row("combining voiced mark", u"か\u3099き", 2, true);
        row("half-width voiced marks", u"ｶﾞｷﾞｸﾟ", 3, true);
        row("surrogate pair", u"\U00020BB7野家", 3, true);
        row("skin tone", u"\U0001F44D\U0001F3FD", 1, true);
        row("joined family", u"\U0001F468\u200D\U0001F469\u200D\U0001F467", 1, true);
        row("two flags", u"\U0001F1EF\U0001F1F5\U0001F1FA\U0001F1F8", 2, true);
        row("heart with selector", u"\u2764\uFE0F", 1, true);
        row("Hangul syllables", u"한국", 2, true);
        row("conjoining jamo", u"\u1100\u1161\u11A8", 1, true);
        row("marks on a line of their own", u"abc\r\ne\u0301\r\nxyz", 7, true);
        row("zero width space is not white space", u"\u200B", 1, true);
        row("marks close together", u"ab\u0301c\u0301d", 4, true);
        row("a heart inside a joined couple", u"x\U0001F469\u200D\u2764\uFE0F\u200D\U0001F468y", 3,
            true);
        row("a mark first", u"\u0301abc", 4, true);
        row("a mark after a line break", u"a\r\n\u0301b", 3, true);
        row("a joiner and a heart last", u"\U0001F469\u200D\u2764", 1, true);
    }

    void counting()
    {
        QFETCH(QString, text);
        QFETCH(int, characters);
        QFETCH(bool, written);
        QCOMPARE(CountText(text), (TextCount{characters, written}));
    }

    // The units counted one by one really stand alone: Qt's own grapheme
    // rules break on both sides of each, and between two of them.
    void unitsCountedAloneNeverJoin()
    {
        int checked = 0;
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (!StandsAlone(char16_t(c)) || c == u'\r' || c == u'\n')
                continue;
            const QChar unit{char16_t(c)};
            const QString text = QStringLiteral("a") + unit + QStringLiteral("a") + unit + unit;
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
            int breaks = 0;
            while (finder.toNextBoundary() > 0)
                ++breaks;
            if (breaks != 5)
                QFAIL(qPrintable(QStringLiteral("U+%1 joins a neighbour").arg(uint(c), 4, 16)));
            ++checked;
        }
        QVERIFY(checked > 30000);
    }

    // Texts strung at random from pieces that join and pieces that do not
    // count as Qt's grapheme finder counts the whole text.
    void countingAgreesWithTheFinder()
    {
        const char16_t* const pieces[] = {
            u"日",     u"a",          u" ",          u"\u3000",     u"\r\n",   u"\r",
            u"\n",     u"\u0301",     u"\u3099",     u"ﾞ",          u"\u200D", u"\uFE0F",
            u"\u2764", u"\U0001F469", u"\U0001F3FD", u"\U0001F1EF", u"\u1100", u"\u1161",
            u"한",     u"\U00020BB7", u"\t"};
        quint32 seed = 1;
        for (int round = 0; round < 3000; ++round) {
            QString text;
            seed = seed * 1103515245u + 12345u;
            for (int n = (seed >> 16) % 12; n >= 0; --n) {
                seed = seed * 1103515245u + 12345u;
                text += QString::fromUtf16(pieces[(seed >> 16) % std::size(pieces)]);
            }
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
            int seen = 0;
            bool written = false;
            for (qsizetype from = 0, to; (to = finder.toNextBoundary()) > 0; from = to) {
                const QString cluster = text.mid(from, to - from);
                if (cluster != u"\r\n"_s && cluster != u"\r"_s && cluster != u"\n"_s)
                    ++seen;
                for (const QChar c : cluster)
                    written = written || !c.isSpace();
            }
            const TextCount count = CountText(text);
            QVERIFY2(
                count == (TextCount{written ? seen : 0, written}),
                qPrintable(
                    QStringLiteral("%1: %2 for %3").arg(text).arg(count.characters).arg(seen)));
        }
    }

    // Only entries that changed are counted again.
    void tallyCountsChangedEntriesOnly()
    {
        QList<DayEntry> days = diary(202401, 202412, {{20240105, QStringLiteral("一二三")}});
        DiaryTally tally;
        tally.update(days);
        QCOMPARE(tally.countedLastTime(), 366);
        days[10].text = QStringLiteral("四五");
        days[4].text = QStringLiteral("一二三"); // the same text, another string
        tally.update(days);
        QCOMPARE(tally.countedLastTime(), 1);
        QCOMPARE(tally.find(20240111)->count, (TextCount{2, true}));
        QCOMPARE(tally.find(20240105)->count, (TextCount{3, true}));
        days.removeFirst();
        tally.update(days);
        QCOMPARE(tally.find(20240101), nullptr);
        QCOMPARE(tally.days().size(), size_t(365));
    }

    void figuresOfAnAwkwardDiary_data()
    {
        QTest::addColumn<int>("fromYm");
        QTest::addColumn<int>("toYm");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("figures"); // days written characters longest streak current
        QTest::addColumn<QString>("months");
        auto row = [](const char* name, int from, int to, QDate today, const char* figures,
                      const char* months) {
            QTest::newRow(name) << from << to << today << QString::fromLatin1(figures)
                                << QString::fromLatin1(months);
        };
        const char* all = "202312:1:6 202401:4:27 202402:2:8 202403:2:14";
        // Ties: 01/02 and 03/02 both hold 11, 01/01-01/04 and 02/28-03/02
        // are both 4 days long; the earlier counts.
        row("today written", 202312, 202403, QDate(2024, 3, 2),
            "122 9 55 20240102:11 4:20240101-20240104 4", all);
        row("today not written yet", 202312, 202403, QDate(2024, 3, 3),
            "122 9 55 20240102:11 4:20240101-20240104 4", all);
        row("nothing since yesterday", 202312, 202403, QDate(2024, 3, 4),
            "122 9 55 20240102:11 4:20240101-20240104 0", all);
        row("today after the range", 202312, 202403, QDate(2026, 12, 7),
            "122 9 55 20240102:11 4:20240101-20240104 0", all);
        row("back from the range's last day", 202401, 202402, QDate(2026, 12, 7),
            "60 6 35 20240102:11 4:20240101-20240104 2", "202401:4:27 202402:2:8");
        row("today before the range", 202402, 202403, QDate(2020, 1, 1),
            "60 4 22 20240302:11 4:20240228-20240302 0", "202402:2:8 202403:2:14");
        row("white space only", 202312, 202312, QDate(2023, 12, 31),
            "31 1 6 20231230:6 1:20231230-20231230 1", "202312:1:6");
        row("months without days", 202403, 202405, QDate(2024, 3, 10),
            "31 2 14 20240302:11 2:20240301-20240302 0", "202403:2:14 202404:0:0 202405:0:0");
        row("nothing written", 202311, 202311, QDate(2023, 11, 5), "0 0 0 - - 0", "202311:0:0");
    }

    void figuresOfAnAwkwardDiary()
    {
        QFETCH(int, fromYm);
        QFETCH(int, toYm);
        QFETCH(QDate, today);
        QFETCH(QString, figures);
        QFETCH(QString, months);
        const DiaryTally tally = tallied(diary(202312, 202403, AwkwardEntries()));
        const DiaryFigures f = ComputeFigures(tally, fromYm, toYm, today);
        const QString seen = QStringLiteral("%1 %2 %3 %4 %5 %6")
                                 .arg(f.days)
                                 .arg(f.daysWritten)
                                 .arg(f.characters)
                                 .arg(f.longestEntry ? QStringLiteral("%1:%2")
                                                           .arg(f.longestEntry->key)
                                                           .arg(f.longestEntry->characters)
                                                     : QStringLiteral("-"))
                                 .arg(f.longestStreak ? QStringLiteral("%1:%2-%3")
                                                            .arg(f.longestStreak->days)
                                                            .arg(f.longestStreak->firstKey)
                                                            .arg(f.longestStreak->lastKey)
                                                      : QStringLiteral("-"))
                                 .arg(f.currentStreak);
        QCOMPARE(seen, figures);
        QStringList seenMonths;
        for (const MonthFigures& m : f.months)
            seenMonths
                << QStringLiteral("%1:%2:%3").arg(m.month).arg(m.daysWritten).arg(m.characters);
        QCOMPARE(seenMonths.join(QLatin1Char(' ')), months);
    }

    void averageIsRounded()
    {
        const DiaryTally tally = tallied(
            diary(202401, 202401,
                  {{20240101, ofLength(1)}, {20240102, ofLength(2)}, {20240103, ofLength(2)}}));
        QCOMPARE(ComputeFigures(tally, 202401, 202401, QDate(2024, 1, 3)).averageCharacters(), 2);
        QCOMPARE(ComputeFigures(tally, 202402, 202402, QDate(2024, 1, 3)).averageCharacters(), 0);
    }

    // The text form for people: the values begin in one column, and the
    // months' numbers end in one, as a terminal shows Japanese (two columns
    // a character).
    void textIsAligned()
    {
        QList<std::pair<int, QString>> entries = AwkwardEntries();
        entries.append({20240315, ofLength(12345)});
        const DiaryTally tally = tallied(diary(202312, 202403, entries));
        const QString text = FiguresText(ComputeFigures(tally, 202312, 202403, QDate(2024, 3, 2)));
        auto columns = [](const QString& s) {
            int width = 0;
            for (const QChar c : s)
                width += c.unicode() < 0x1100 ? 1 : 2;
            return width;
        };
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines[0], QStringLiteral("期間              2023/12～2024/03"));
        QCOMPARE(lines[3], QStringLiteral("文字数            12,400文字"));
        QCOMPARE(lines[5], QStringLiteral("最も長い日        2024/03/15（12,345文字）"));
        QCOMPARE(lines[6], QStringLiteral("最長の連続        4日（2024/01/01～2024/01/04）"));
        const int blank = int(lines.indexOf(QString()));
        QCOMPARE(blank, 8);
        for (int i = 0; i < blank; ++i) {
            const qsizetype value = lines[i].indexOf(QRegularExpression(QStringLiteral("  \\S")));
            QVERIFY2(value > 0, qPrintable(lines[i]));
            QCOMPARE(columns(lines[i].left(value + 2)), 18);
        }
        QCOMPARE(lines[blank + 1], QStringLiteral("月       記録した日  文字数"));
        QCOMPARE(lines[blank + 3], QStringLiteral("2024/01           4      27"));
        QCOMPARE(lines[blank + 5], QStringLiteral("2024/03           3  12,359"));
        for (int i = blank + 1; i < blank + 6; ++i)
            QCOMPARE(columns(lines[i]), columns(lines[blank + 1]));
    }

    void shades_data()
    {
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("five days") << QList<int>{80, 5, 40, 10, 20} << QList<int>{5, 10, 20, 40, 80}
                                   << QList<int>{1, 1, 2, 3, 4};
        QTest::newRow("eight days")
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8} << QList<int>{1, 2, 3, 4, 5, 6, 7, 8}
            << QList<int>{1, 1, 2, 2, 3, 3, 4, 4};
        QTest::newRow("all alike") << QList<int>{7, 7, 7} << QList<int>{7} << QList<int>{1};
        QTest::newRow("one day") << QList<int>{3} << QList<int>{3, 4} << QList<int>{1, 4};
        QTest::newRow("ties share a step")
            << QList<int>{1, 9, 9, 9, 9, 9, 9, 30} << QList<int>{1, 9, 30} << QList<int>{1, 1, 4};
    }

    void shades()
    {
        QFETCH(QList<int>, written);
        QFETCH(QList<int>, counts);
        QFETCH(QList<int>, steps);
        const ShadeScale scale(written);
        QCOMPARE(scale.step({0, false}), 0);
        QList<int> seen;
        for (const int n : counts)
            seen << scale.step({n, true});
        QCOMPARE(seen, steps);
    }

    void pastDays_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("rows"); // key/week/years/instead/line
        QTest::newRow("newest first, unwritten years left out")
            << 20261207
            << QStringLiteral("20251207/0/1//去年 20231207/4/3//三年前は雪 20201207/1/6//六年前");
        QTest::newRow("29 February: the 28th in other years")
            << 20280229
            << QStringLiteral("20270228/0/1/28/二月末 20240229/4/4//閏日 20230228/2/5/28/前の年");
        QTest::newRow("the 28th of a leap year stays the 28th")
            << 20250228 << QStringLiteral("20240228/3/1//二十八日 20230228/2/2//前の年");
        QTest::newRow("the first stored year has none before it") << 20201207 << QString();
    }

    void pastDays()
    {
        QFETCH(int, key);
        QFETCH(QString, rows);
        const DiaryTally tally =
            tallied(diary(202001, 202812,
                          {{20251207, QStringLiteral("去年\r\n二行目")},
                           {20241207, QStringLiteral(" \r\n\u3000")},
                           {20231207, QStringLiteral("\r\n\u3000三年前は雪　\r\n寒い")},
                           {20201207, QStringLiteral("六年前")},
                           {20271207, QStringLiteral("来年のこと")},
                           {20270228, QStringLiteral("二月末")},
                           {20240229, QStringLiteral("閏日")},
                           {20240228, QStringLiteral("二十八日")},
                           {20230228, QStringLiteral("前の年")},
                           {20230301, QStringLiteral("三月一日")}}));
        QStringList seen;
        for (const PastDay& day : PastDaysOf(tally, key))
            seen << QStringLiteral("%1/%2/%3/%4/%5")
                        .arg(day.key)
                        .arg(day.week)
                        .arg(day.yearsAgo)
                        .arg(day.insteadOf29 ? QStringLiteral("28") : QString())
                        .arg(day.firstLine);
        QCOMPARE(seen.join(QLatin1Char(' ')), rows);
    }
};

ZEDU_TEST_MAIN(tst_Insight)
#include "tst_Insight.moc"
