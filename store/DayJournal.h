#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// What this run wrote into the calendar, day by day: for each column a write
// touched, its value as read before the first write of the run (the base)
// and as written last (this run's own). When the calendar file turns out to
// be another one (a sync tool renamed the other computer's copy over it),
// the journal tells which days must be brought back into the new file and
// which days the other side changed too.
//
// The store notes every write here once it is committed; a restore, which
// puts a calendar the user chose in place, empties it. Entries and day kinds
// are kept apart, so that a bulk command that changes the kinds of thousands
// of days costs two bytes a day beside the key.
class DayJournal
{
public:
    // The program's one journal.
    static DayJournal& instance();

    // One day as the journal knows it. A column this run never wrote is
    // missing in both.
    struct Day
    {
        int key = 0;
        std::optional<QString> baseText;
        std::optional<QString> ownText;
        // A kind is a stored flag, true for a workday, or missing (NULL).
        std::optional<std::optional<bool>> baseKind;
        std::optional<std::optional<bool>> ownKind;
    };

    // The entry of `key` was `before` and is now `after` (missing entries as
    // ""). The first note of a day keeps its base.
    void noteText(int key, const QString& before, const QString& after);
    // The same for the day kind.
    void noteKind(int key, std::optional<bool> before, std::optional<bool> after);

    // True when this run wrote the entry of `key` already (its base is
    // known).
    bool hasText(int key) const { return mTexts.contains(key); }

    bool isEmpty() const { return mTexts.isEmpty() && mKinds.isEmpty(); }
    // Every day written, in key order.
    QList<Day> days() const;
    QList<int> keys() const;
    void clear();

private:
    DayJournal() = default;

    struct Texts
    {
        QString base;
        QString own;
    };
    // A kind in one byte: -1 missing, 0 holiday, 1 workday.
    struct Kinds
    {
        qint8 base = -1;
        qint8 own = -1;
    };
    QHash<int, Texts> mTexts;
    QHash<int, Kinds> mKinds;
};
