#include "insight/DiaryTally.h"

#include <algorithm>

namespace {

bool sameText(const QString& a, const QString& b)
{
    // An entry that did not change is mostly the very same shared string.
    return (a.size() == b.size() && a.constData() == b.constData()) || a == b;
}

} // namespace

void DiaryTally::update(const QList<DayEntry>& days)
{
    std::vector<TalliedDay> tallied;
    tallied.reserve(size_t(days.size()));
    mCounted = 0;
    // Both lists are in key order.
    auto old = mDays.begin();
    for (const DayEntry& day : days) {
        while (old != mDays.end() && old->key < day.key)
            ++old;
        TalliedDay t;
        t.key = day.key;
        t.week = day.week;
        t.text = day.text;
        if (old != mDays.end() && old->key == day.key && sameText(old->text, day.text)) {
            t.count = old->count;
        } else {
            t.count = CountText(day.text);
            ++mCounted;
        }
        tallied.push_back(std::move(t));
    }
    mDays = std::move(tallied);
}

const TalliedDay* DiaryTally::find(int key) const
{
    const auto [first, last] = between(key, key);
    return first != last ? first : nullptr;
}

std::pair<const TalliedDay*, const TalliedDay*> DiaryTally::between(int firstKey, int lastKey) const
{
    const TalliedDay* begin = mDays.data();
    const TalliedDay* end = begin + mDays.size();
    auto byKey = [](const TalliedDay& day, int key) {
        return day.key < key;
    };
    const TalliedDay* first = std::lower_bound(begin, end, firstKey, byKey);
    const TalliedDay* last =
        std::lower_bound(first, end, lastKey + 1, byKey); // keys are whole numbers
    return {first, last};
}
