#pragma once

#include "insight/DiaryTally.h"

#include <QObject>

class QTimer;
class DiaryIndex;

// What the windows that look back at the diary count from: the counts of
// every stored day, taken from the search's index, which reads the calendar
// once and follows every save, so that nothing reads the diary a second
// time. Shared by the windows; owned by the main window.
class InsightFeed : public QObject
{
    Q_OBJECT

public:
    InsightFeed(DiaryIndex* index, QObject* parent);

    // The counts, up to date (only changed entries are counted again). A
    // store error passes to the caller.
    const DiaryTally& tally();

    // How long after a change of the entries `changed` is emitted: saves
    // while typing come every few seconds, and one recount serves a burst.
    static constexpr int kPauseMs = 300;

signals:
    // Stored entries changed: what shows figures asks for them again. Never
    // emitted while a store operation is under way.
    void changed();

private:
    void announce();

    DiaryIndex* mIndex;
    DiaryTally mTally;
    QTimer* mPause;
    bool mStale = true;
};
