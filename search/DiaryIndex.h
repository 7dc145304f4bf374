#pragma once

#include "search/FoldedText.h"
#include "search/Matcher.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>
#include <span>
#include <vector>

class SearchQuery;

// A day whose entry holds every term of a search.
struct FoundDay
{
    int key = 0;
    int week = 0; // the stored day of the week, 0 = Sunday
    QString text; // the entry as stored (or as it is being typed)
    // Its hits in `text`: SearchResults::hits from `firstHit` on.
    int firstHit = 0;
    int hitCount = 0;
};

// What a search found: the days in date order. The hits of all days lie in
// one list, so that a search that finds every day of a hundred years does
// not allocate once per day.
struct SearchResults
{
    QList<FoundDay> days;
    QList<Hit> hits;

    int hitCount() const { return int(hits.size()); }
    std::span<const Hit> hitsOf(const FoundDay& day) const
    {
        return {hits.constData() + day.firstHit, size_t(day.hitCount)};
    }
    // The keys of the days found, in date order.
    QList<int> dayKeys() const;
};

// The entry of a day as it is being typed, before it is stored: it counts
// with this text.
struct TypedEntry
{
    int key = 0;
    QString text; // lines separated by CR LF, as stored
};

// A stored day with its entry as the index holds it.
struct IndexedDay
{
    int key = 0;
    int week = 0; // 0 = Sunday
    QString text; // lines separated by CR LF, as stored
};

// The whole diary folded for searching. It lives in memory only: nothing of
// it is written anywhere, and the calendar file is only read. The first
// search reads every stored day; from then on the index follows what
// MasterChanges announces: a saved entry is folded again at once, the days
// of a yearly event are read again at the next search, and after a range
// change (or anything else that replaces entries) the next search reads all
// days again, folding only the entries that changed.
class DiaryIndex : public QObject
{
    Q_OBJECT

public:
    explicit DiaryIndex(QObject* parent = nullptr);

    // Every stored day whose entry holds every term of `query`, with the
    // entry of `typed` counting as it is typed. A store error passes to the
    // caller; the next search reads again. A query without terms finds
    // nothing and reads nothing.
    SearchResults search(const SearchQuery& query,
                         const std::optional<TypedEntry>& typed = std::nullopt);

    // Reads now what the next search would read first. A store error passes
    // to the caller.
    void prepare();
    // Every stored day in key order with its entry as stored, brought up to
    // date first as a search would be: what else needs the whole diary
    // takes it from here instead of reading the calendar again. A store
    // error passes to the caller.
    QList<IndexedDay> days();
    // True once the days are read and nothing announced since needs a read.
    bool isCurrent() const { return mComplete && mStaleYearly.isEmpty(); }

signals:
    // Stored entries changed since the last search: its results may be out
    // of date.
    void entriesChanged();

private:
    struct Day
    {
        int key = 0;
        int week = 0;
        QString text;
        FoldedText folded;
    };
    void catchUp();
    void readAll();
    void setText(Day& day, const QString& text);
    Day* find(int key);
    const FoldedText& typedFolded(const TypedEntry& typed);

    std::vector<Day> mDays; // key order
    bool mComplete = false;
    QSet<int> mStaleYearly;
    TypedEntry mTyped;
    FoldedText mTypedFolded;
};
