#pragma once

#include "store/DayUpdates.h"
#include "store/Engine.h"
#include "sync/CalendarMerge.h"

#include <QList>
#include <QObject>

// Brings what this run wrote back into a calendar file that another program
// put in the calendar's place (a sync tool renaming the other computer's
// copy over it). Installed as the store's hook for a replaced calendar
// (store/FileSession.h), it runs inside the operation that found the new
// file, before that operation's own work: every day of the run's journal
// (store/DayJournal.h) is merged with the new file's day (MergeJournal) and
// what the file must take is written in one transaction. A stale copy thus
// gets back every day written since it was made; a day the other side
// changed too holds both sides' changes.
//
// What happened is kept for the window, which is told by `replayed()` once
// per replacement. The signal comes inside a store operation: take the
// report from a queued connection.
class JournalReplay : public QObject
{
    Q_OBJECT

public:
    static JournalReplay& instance();

    // Installs the hook; the one place that does.
    static void install();

    struct Report
    {
        // Days written back into the new file (this run's text or kind, or
        // a merge).
        int broughtBack = 0;
        // Days whose text holds both sides' changes.
        QList<MergedDay> merged;
        // Days this run wrote that the new file does not store, with what
        // they held: their text has no place there.
        QList<DayWrite> unstored;
        // Days whose kind both sides changed differently; the file's stayed.
        QList<int> kindConflicts;
    };
    // The reports since the last call, added up.
    Report takeReport();

    // Runs the merge on the calendar open on `db`, inside a store operation.
    // Throws EngineError, MergeError; nothing is written then.
    void replay(Database& db);

signals:
    void replayed();

private:
    JournalReplay() = default;
    Report mReport;
};

// The days to write, as the store takes them.
QList<DayUpdate> UpdatesOf(const QList<DayWrite>& writes);
