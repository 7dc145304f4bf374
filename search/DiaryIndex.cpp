#include "search/DiaryIndex.h"

#include "search/SearchQuery.h"
#include "store/MasterChanges.h"
#include "store/MasterReads.h"

#include <algorithm>

QList<int> SearchResults::dayKeys() const
{
    QList<int> keys;
    keys.reserve(days.size());
    for (const FoundDay& day : days)
        keys.append(day.key);
    return keys;
}

DiaryIndex::DiaryIndex(QObject* parent) : QObject(parent)
{
    MasterChanges& changes = MasterChanges::instance();
    connect(&changes, &MasterChanges::entrySaved, this, [this](int key, const QString& text) {
        if (mComplete) {
            if (Day* day = find(key))
                setText(*day, text);
            else
                mComplete = false;
        }
        emit entriesChanged();
    });
    connect(&changes, &MasterChanges::yearlyEntriesChanged, this, [this](int monthDay) {
        if (mComplete)
            mStaleYearly.insert(monthDay);
        emit entriesChanged();
    });
    connect(&changes, &MasterChanges::entriesReplaced, this, [this] {
        mComplete = false;
        emit entriesChanged();
    });
}

DiaryIndex::Day* DiaryIndex::find(int key)
{
    const auto at = std::lower_bound(mDays.begin(), mDays.end(), key,
                                     [](const Day& day, int k) { return day.key < k; });
    return at != mDays.end() && at->key == key ? &*at : nullptr;
}

void DiaryIndex::setText(Day& day, const QString& text)
{
    if (day.text == text && day.folded.originalLength() == text.size())
        return;
    day.text = text;
    day.folded = text.isEmpty() ? FoldedText() : FoldedText(text);
}

void DiaryIndex::readAll()
{
    const QList<DayRecord> records = ReadDayList(DayList::AllDays);
    std::vector<Day> days;
    days.reserve(records.size());
    // Both lists are in key order: an entry that did not change keeps its
    // folded text.
    auto old = mDays.begin();
    for (const DayRecord& record : records) {
        while (old != mDays.end() && old->key < record.key)
            ++old;
        Day day;
        day.key = record.key;
        day.week = record.week;
        if (old != mDays.end() && old->key == record.key && old->text == record.plan) {
            day.text = old->text;
            day.folded = std::move(old->folded);
        } else {
            setText(day, record.plan);
        }
        days.push_back(std::move(day));
    }
    mDays = std::move(days);
    mStaleYearly.clear();
    mComplete = true;
}

void DiaryIndex::catchUp()
{
    if (mComplete && !mStaleYearly.isEmpty()) {
        const QSet<int> stale = std::exchange(mStaleYearly, {});
        for (const int monthDay : stale) {
            for (const DayRecord& record : ReadYearlyDays(monthDay)) {
                Day* day = find(record.key);
                if (!day) {
                    mComplete = false;
                    break;
                }
                setText(*day, record.plan);
            }
        }
    }
    if (!mComplete)
        readAll();
}

const FoldedText& DiaryIndex::typedFolded(const TypedEntry& typed)
{
    if (typed.key != mTyped.key || typed.text != mTyped.text ||
        mTypedFolded.originalLength() != typed.text.size()) {
        mTyped = typed;
        mTypedFolded = FoldedText(typed.text);
    }
    return mTypedFolded;
}

void DiaryIndex::prepare()
{
    try {
        catchUp();
    } catch (...) {
        // Whatever was read halfway is read again next time.
        mComplete = false;
        throw;
    }
}

QList<IndexedDay> DiaryIndex::days()
{
    prepare();
    QList<IndexedDay> days;
    days.reserve(qsizetype(mDays.size()));
    for (const Day& day : mDays)
        days.append({day.key, day.week, day.text});
    return days;
}

SearchResults DiaryIndex::search(const SearchQuery& query, const std::optional<TypedEntry>& typed)
{
    SearchResults results;
    if (query.isEmpty())
        return results;
    prepare();
    for (const Day& day : mDays) {
        const bool isTyped = typed && typed->key == day.key;
        if (!isTyped && day.text.isEmpty())
            continue;
        const FoldedText& folded = isTyped ? typedFolded(*typed) : day.folded;
        const int first = int(results.hits.size());
        if (!AppendHits(query, folded, results.hits))
            continue;
        results.days.append({day.key, day.week, isTyped ? typed->text : day.text, first,
                             int(results.hits.size()) - first});
    }
    return results;
}
