#pragma once

#include "store/DayRows.h"
#include "sync/DayMerge.h"

#include <QList>
#include <QString>

// Merging many days at once: what a calendar must take so that nothing
// written on either computer is lost, worked out before anything is
// written. The store applies `writes` in one transaction; the window lists
// `merged`.

// A day this Zedu wrote during its run: what it read before its first change
// (the base) and what it wrote last (its own).
struct JournalDay
{
    int key = 0;
    DayValue base;
    DayValue ours;
};

// What one day of the calendar written into takes. Only the parts marked
// change; the other column keeps what it holds (a missing entry or flag
// too).
struct DayWrite
{
    int key = 0;
    DayValue day;
    bool text = false;
    bool kind = false;

    bool operator==(const DayWrite&) const = default;
};

// A day whose text holds both sides' changes (TextMerge::bothSides).
struct MergedDay
{
    int key = 0;
    bool conflict = false; // both versions kept, the divider between

    bool operator==(const MergedDay&) const = default;
};

struct CalendarMerge
{
    // In key order, each day once.
    QList<DayWrite> writes;
    QList<MergedDay> merged;
    // Days whose kind both sides changed differently (without a base: whose
    // kinds differ); the calendar's kind stayed.
    QList<int> kindConflicts;
    // Days the calendar written into does not store, with what they would
    // have taken from the other side: their text has no place there.
    QList<DayWrite> unstored;
};

// A calendar replaced on disk under this Zedu: every day of the journal
// against the new file's `file` (its days in any order; days the journal
// does not name are passed over). A day where the file still holds the
// base takes this Zedu's text, a day that holds it already stays, a day
// that holds a third text is merged (`fileLabel` names the file in the
// divider). `writes` go into the file; their number is the days brought
// back. Each journal day once, in any order. Throws MergeError.
CalendarMerge MergeJournal(const QList<JournalDay>& journal, const QList<DayRow>& file,
                           const QString& fileLabel);

// A conflict copy merged into the calendar in use, day by day, without a
// base (`copyLabel` names the copy in the divider). `writes` go into the
// calendar; copy days it does not store, with an entry, are `unstored`.
// Days in any order. Throws MergeError.
CalendarMerge MergeConflictCopy(const QList<DayRow>& calendar, const QList<DayRow>& copy,
                                const QString& copyLabel);
