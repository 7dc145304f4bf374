#include "store/DayJournal.h"

#include <QSet>

#include <algorithm>

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
    const auto found = mKinds.find(key);
    if (found == mKinds.end())
        mKinds.insert(key, {packKind(before), packKind(after)});
    else
        found->own = packKind(after);
}

QList<int> DayJournal::keys() const
{
    QSet<int> keys;
    keys.reserve(mTexts.size() + mKinds.size());
    for (auto it = mTexts.cbegin(); it != mTexts.cend(); ++it)
        keys.insert(it.key());
    for (auto it = mKinds.cbegin(); it != mKinds.cend(); ++it)
        keys.insert(it.key());
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
        }
        days.append(day);
    }
    return days;
}

void DayJournal::clear()
{
    mTexts.clear();
    mKinds.clear();
}
