#include "ui/InsightFeed.h"

#include "search/DiaryIndex.h"
#include "store/FileSession.h"

#include <QTimer>

InsightFeed::InsightFeed(DiaryIndex* index, QObject* parent) : QObject(parent), mIndex(index)
{
    mPause = new QTimer(this);
    mPause->setSingleShot(true);
    mPause->setInterval(kPauseMs);
    connect(mPause, &QTimer::timeout, this, &InsightFeed::announce);
    connect(mIndex, &DiaryIndex::entriesChanged, this, [this] {
        mStale = true;
        mPause->start();
    });
}

void InsightFeed::announce()
{
    // Not in the middle of a store operation that lets window messages run:
    // the receivers read.
    if (FileSession::depth() > 0) {
        mPause->start();
        return;
    }
    emit changed();
}

const DiaryTally& InsightFeed::tally()
{
    if (mStale || !mIndex->isCurrent()) {
        const QList<IndexedDay> indexed = mIndex->days();
        QList<DayEntry> days;
        days.reserve(indexed.size());
        for (const IndexedDay& day : indexed)
            days.append({day.key, day.week, day.text});
        mTally.update(days);
        mStale = false;
    }
    return mTally;
}
