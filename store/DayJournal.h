#pragma once

#include <QByteArray>
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
// are kept apart. The bulk commands that change the kinds of thousands of
// days at once do not note each day: before the first of them the journal
// takes a picture of every stored day's kind (the base), and each command
// is then applied to the picture's own kinds in memory, as the statement
// applied it to the file. A day's kind counts as written while its own kind
// differs from its base.
class DayJournal
{
public:
    // One stored day's kind, for the picture.
    struct KindRow
    {
        int key = 0;
        int week = 0; // 0 = Sunday ... 6 = Saturday
        std::optional<bool> workday;
    };

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
    // Room for `count` more entries noted (an import notes thousands).
    void reserveTexts(qsizetype count) { mTexts.reserve(mTexts.size() + count); }
    // The same for the day kind.
    void noteKind(int key, std::optional<bool> before, std::optional<bool> after);

    // The picture of the kinds: whether it is taken, the first and last day
    // it holds, and the days to add to it (all stored days the first time,
    // in any order; later the days of a range widened since), each with its
    // kind as it is now, before the command that changes it. A day already
    // noted keeps its base.
    bool hasKindPicture() const { return !mPictureKeys.isEmpty(); }
    int pictureFirst() const { return mPictureKeys.isEmpty() ? 0 : mPictureKeys.first(); }
    int pictureLast() const { return mPictureKeys.isEmpty() ? 0 : mPictureKeys.last(); }
    void addToKindPicture(const QList<KindRow>& days);
    // The bulk commands, as they change the stored flags, applied to the
    // picture once they are committed:
    // every day takes `workday`;
    void setAllKinds(bool workday);
    // every day of the week `week` takes `workday`;
    void setWeekKinds(int week, bool workday);
    // the workdays whose month and day are `monthDay` (mmdd) become holidays;
    void makeHolidays(int monthDay);
    // the days of `keys` whose flag is not holiday become holidays.
    void makeHolidaysOf(const QList<int>& keys);

    // True when this run wrote the entry of `key` already (its base is
    // known).
    bool hasText(int key) const { return mTexts.contains(key); }

    bool isEmpty() const
    {
        return mTexts.isEmpty() && mKinds.isEmpty() && mPictureOwn == mPictureBase;
    }
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
    // The index of `key` in the picture, or -1.
    qsizetype pictureIndex(int key) const;

    QHash<int, Texts> mTexts;
    // Kinds of days written one by one, outside the picture.
    QHash<int, Kinds> mKinds;
    // The picture, in key order: keys, days of the week, base and own kinds.
    QList<int> mPictureKeys;
    QByteArray mPictureWeeks;
    QByteArray mPictureBase;
    QByteArray mPictureOwn;
};
