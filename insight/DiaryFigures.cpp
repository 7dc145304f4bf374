#include "insight/DiaryFigures.h"

#include "insight/DiaryTally.h"
#include "platform/DayKey.h"

namespace {

int firstKeyOf(int ym)
{
    return ym * 100 + 1;
}

int lastKeyOf(int ym)
{
    return ym * 100 + 31; // no month has a later day
}

// How many months lie from `fromYm` to `ym`.
qsizetype monthsBetween(int fromYm, int ym)
{
    return qsizetype(ym / 100 * 12 + ym % 100) - (fromYm / 100 * 12 + fromYm % 100);
}

int nextMonth(int ym)
{
    return ym % 100 == 12 ? (ym / 100 + 1) * 100 + 1 : ym + 1;
}

} // namespace

qint64 DiaryFigures::averageCharacters() const
{
    return daysWritten == 0 ? 0 : (characters + daysWritten / 2) / daysWritten;
}

DiaryFigures ComputeFigures(const DiaryTally& tally, int fromYm, int toYm, const QDate& today)
{
    DiaryFigures figures;
    figures.fromYm = fromYm;
    figures.toYm = toYm;
    for (int ym = fromYm; ym <= toYm; ym = nextMonth(ym))
        figures.months.append({ym, 0, 0});
    const auto [begin, end] = tally.between(firstKeyOf(fromYm), lastKeyOf(toYm));
    figures.days = int(end - begin);
    if (begin == end)
        return figures;

    // A run of written days goes on while each is the day after the last.
    qint64 lastWritten = 0;
    int runFirstKey = 0;
    int run = 0;
    for (const TalliedDay* day = begin; day != end; ++day) {
        if (!day->count.written)
            continue;
        const int characters = day->count.characters;
        ++figures.daysWritten;
        figures.characters += characters;
        MonthFigures& month = figures.months[monthsBetween(fromYm, day->key / 100)];
        ++month.daysWritten;
        month.characters += characters;
        if (!figures.longestEntry || characters > figures.longestEntry->characters)
            figures.longestEntry = DiaryFigures::LongestEntry{day->key, characters};

        const qint64 jd = KeyToDate(day->key).toJulianDay();
        if (run > 0 && jd == lastWritten + 1) {
            ++run;
        } else {
            run = 1;
            runFirstKey = day->key;
        }
        lastWritten = jd;
        if (!figures.longestStreak || run > figures.longestStreak->days)
            figures.longestStreak = DiaryFigures::Streak{run, runFirstKey, day->key};
    }

    // The current streak: from today when it lies in the range, else from
    // the range's last stored day, back while the days are written and
    // follow each other.
    const qsizetype count = end - begin;
    qsizetype at = count - 1;
    qint64 expected = KeyToDate(begin[at].key).toJulianDay();
    const int todayKey = DayKey(today);
    if (todayKey >= begin->key && todayKey <= begin[count - 1].key) {
        at = tally.between(todayKey, todayKey).first - begin;
        expected = today.toJulianDay();
        if (begin[at].key != todayKey)
            return figures; // today is not stored: nothing reaches it
        if (!begin[at].count.written) {
            // Today is not over: the streak may end yesterday.
            --at;
            --expected;
        }
    }
    for (; at >= 0; --at, --expected) {
        if (!begin[at].count.written || KeyToDate(begin[at].key).toJulianDay() != expected)
            break;
        ++figures.currentStreak;
    }
    return figures;
}
