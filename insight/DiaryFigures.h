#pragma once

#include <QDate>
#include <QList>

#include <optional>

class DiaryTally;

// What one month of the diary holds.
struct MonthFigures
{
    int month = 0; // yyyymm
    int daysWritten = 0;
    qint64 characters = 0;

    bool operator==(const MonthFigures&) const = default;
};

// The figures of a range of months: how much was written and how steadily.
// A day is written when its entry has a character that is not white space
// (TextCount); only written days count characters.
struct DiaryFigures
{
    int fromYm = 0; // the range, yyyymm
    int toYm = 0;
    int days = 0; // stored days in the range
    int daysWritten = 0;
    qint64 characters = 0;

    struct LongestEntry
    {
        int key = 0;
        int characters = 0;
        bool operator==(const LongestEntry&) const = default;
    };
    // The day with the most characters, the earliest of equals; none when
    // nothing is written.
    std::optional<LongestEntry> longestEntry;

    struct Streak
    {
        int days = 0;
        int firstKey = 0;
        int lastKey = 0;
        bool operator==(const Streak&) const = default;
    };
    // The longest run of written days without a day between them left
    // unwritten, the earliest of equals; none when nothing is written.
    std::optional<Streak> longestStreak;
    // The written days up to today without a break (see ComputeFigures).
    int currentStreak = 0;

    // Every month of the range, in order, months without stored days too.
    QList<MonthFigures> months;

    // Characters per written day, rounded; 0 when none is written.
    qint64 averageCharacters() const;
};

// The figures of the months `fromYm` to `toYm` (yyyymm) of the counted
// diary. The current streak counts back from `today` when it lies in the
// range, or else from the last stored day of the range. A today not yet
// written does not end it: the day is not over, so the count starts with
// the day before.
DiaryFigures ComputeFigures(const DiaryTally& tally, int fromYm, int toYm, const QDate& today);
