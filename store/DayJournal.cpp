#include "store/DayJournal.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace {

qint8 packKind(std::optional<bool> kind)
{
    return kind ? qint8(*kind ? 1 : 0) : qint8(-1);
}

std::optional<bool> unpackKind(qint8 kind)
{
    if (kind < 0)
        return std::nullopt;
    return kind == 1;
}

} // namespace

DayJournal& DayJournal::instance()
{
    static DayJournal journal;
    return journal;
}

void DayJournal::noteText(int key, const QString& before, const QString& after)
{
    const auto found = mTexts.find(key);
    if (found == mTexts.end())
        mTexts.insert(key, {before, after});
    else
        found->own = after;
}

void DayJournal::noteKind(int key, std::optional<bool> before, std::optional<bool> after)
{
    if (const qsizetype i = pictureIndex(key); i >= 0) {
        mPictureOwn[i] = packKind(after);
        return;
    }
    const auto found = mKinds.find(key);
    if (found == mKinds.end())
        mKinds.insert(key, {packKind(before), packKind(after)});
    else
        found->own = packKind(after);
}

qsizetype DayJournal::pictureIndex(int key) const
{
    const auto found = std::lower_bound(mPictureKeys.cbegin(), mPictureKeys.cend(), key);
    return found != mPictureKeys.cend() && *found == key ? found - mPictureKeys.cbegin() : -1;
}

void DayJournal::addToKindPicture(const QList<KindRow>& days)
{
    struct Day
    {
        int key;
        char week;
        qint8 base;
        qint8 own;
    };
    std::vector<Day> all;
    all.reserve(mPictureKeys.size() + days.size());
    for (qsizetype i = 0; i < mPictureKeys.size(); ++i)
        all.push_back(
            {mPictureKeys[i], mPictureWeeks[i], qint8(mPictureBase[i]), qint8(mPictureOwn[i])});
    for (const KindRow& row : days) {
        if (pictureIndex(row.key) >= 0)
            continue;
        Day day{row.key, char(row.week), packKind(row.workday), packKind(row.workday)};
        // A day written one by one before keeps the kind it had then.
        if (const auto noted = mKinds.constFind(row.key); noted != mKinds.cend()) {
            day.base = noted->base;
            mKinds.remove(row.key);
        }
        all.push_back(day);
    }
    std::sort(all.begin(), all.end(), [](const Day& a, const Day& b) { return a.key < b.key; });
    const qsizetype size = qsizetype(all.size());
    mPictureKeys.resize(size);
    mPictureWeeks.resize(size);
    mPictureBase.resize(size);
    mPictureOwn.resize(size);
    for (qsizetype i = 0; i < size; ++i) {
        mPictureKeys[i] = all[size_t(i)].key;
        mPictureWeeks[i] = all[size_t(i)].week;
        mPictureBase[i] = char(all[size_t(i)].base);
        mPictureOwn[i] = char(all[size_t(i)].own);
    }
}

void DayJournal::setAllKinds(bool workday)
{
    mPictureOwn.fill(char(packKind(workday)));
}

void DayJournal::setWeekKinds(int week, bool workday)
{
    for (qsizetype i = 0; i < mPictureKeys.size(); ++i)
        if (mPictureWeeks[i] == char(week))
            mPictureOwn[i] = char(packKind(workday));
}

void DayJournal::makeHolidays(int monthDay)
{
    // As `平日 <> 0`: a missing flag stays missing.
    for (qsizetype i = 0; i < mPictureKeys.size(); ++i)
        if (mPictureKeys[i] % 10000 == monthDay && mPictureOwn[i] == 1)
            mPictureOwn[i] = 0;
}

void DayJournal::makeHolidaysOf(const QList<int>& keys)
{
    for (const int key : keys)
        if (const qsizetype i = pictureIndex(key); i >= 0)
            mPictureOwn[i] = 0;
}

QList<int> DayJournal::keys() const
{
    QSet<int> keys;
    keys.reserve(mTexts.size() + mKinds.size());
    for (auto it = mTexts.cbegin(); it != mTexts.cend(); ++it)
        keys.insert(it.key());
    for (auto it = mKinds.cbegin(); it != mKinds.cend(); ++it)
        keys.insert(it.key());
    for (qsizetype i = 0; i < mPictureKeys.size(); ++i)
        if (mPictureOwn[i] != mPictureBase[i])
            keys.insert(mPictureKeys[i]);
    QList<int> sorted(keys.cbegin(), keys.cend());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QList<DayJournal::Day> DayJournal::days() const
{
    QList<Day> days;
    for (const int key : keys()) {
        Day day;
        day.key = key;
        if (const auto text = mTexts.constFind(key); text != mTexts.cend()) {
            day.baseText = text->base;
            day.ownText = text->own;
        }
        if (const auto kind = mKinds.constFind(key); kind != mKinds.cend()) {
            day.baseKind = unpackKind(kind->base);
            day.ownKind = unpackKind(kind->own);
        } else if (const qsizetype i = pictureIndex(key);
                   i >= 0 && mPictureOwn[i] != mPictureBase[i]) {
            day.baseKind = unpackKind(qint8(mPictureBase[i]));
            day.ownKind = unpackKind(qint8(mPictureOwn[i]));
        }
        days.append(day);
    }
    return days;
}

void DayJournal::clear()
{
    mTexts.clear();
    mKinds.clear();
    mPictureKeys.clear();
    mPictureWeeks.clear();
    mPictureBase.clear();
    mPictureOwn.clear();
}
