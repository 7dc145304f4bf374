#pragma once

#include "insight/TextCount.h"

#include <QList>
#include <QString>

#include <vector>

// One stored day with its entry as stored (lines separated by CR LF).
struct DayEntry
{
    int key = 0;  // day key yyyymmdd
    int week = 0; // 0 = Sunday ... 6 = Saturday
    QString text;
};

// A stored day with what its entry holds.
struct TalliedDay
{
    int key = 0;
    int week = 0;
    TextCount count;
    QString text;
};

// The counts of every stored day. It is kept from one update to the next,
// so that an update counts only the entries that changed: a diary of a
// hundred years is counted once, and then one entry per save.
class DiaryTally
{
public:
    // Takes the stored days as they are now, in key order.
    void update(const QList<DayEntry>& days);

    // Every stored day, in key order.
    const std::vector<TalliedDay>& days() const { return mDays; }
    // The stored day `key`; nullptr when it is not stored.
    const TalliedDay* find(int key) const;
    // The days from `firstKey` to `lastKey`, both included, as [begin, end).
    std::pair<const TalliedDay*, const TalliedDay*> between(int firstKey, int lastKey) const;

    // How many entries the last update counted; the others kept their
    // counts.
    int countedLastTime() const { return mCounted; }

private:
    std::vector<TalliedDay> mDays;
    int mCounted = 0;
};
