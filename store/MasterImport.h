#pragma once

#include "store/DayRows.h"

#include <QList>

// Bringing days from a file into the calendar: what an import would change,
// worked out before anything changes, and the import itself as one
// transaction. Both follow the open policy of FileSession.

// What the days of a file meet in the calendar.
struct ImportSurvey
{
    int days = 0;      // days in the file
    int outside = 0;   // of them, days the calendar does not store
    int differing = 0; // days whose stored entry and the file's differ, neither empty
    int firstYm = 0;   // month of the file's first day (0 without days)
    int lastYm = 0;    // month of the file's last day
    StoredRange stored;
};

// `days` in key order, each day once.
ImportSurvey SurveyImport(const QList<DayRow>& days);

// What becomes of a stored entry that differs from the file's. An empty
// entry in the file never empties a stored one; a stored empty entry always
// takes the file's.
enum class ExistingEntries
{
    Replace, // the file's entry replaces it
    Append,  // the file's entry is added after it on a line of its own,
             // unless it ends with it already (after a line break) or is it
    Keep     // it stays as it is
};

struct ImportChoice
{
    ExistingEntries existing = ExistingEntries::Keep;
    // Days outside the stored range: the range is widened to take them
    // (through the range change, which keeps every stored day), or they
    // are left out.
    bool extendRange = false;
    // The file's workday flags (a missing one included) replace the stored
    // ones; otherwise the stored flags stay.
    bool workdays = false;
};

struct ImportOutcome
{
    int taken = 0;     // days the import changed
    int unchanged = 0; // days that held the file's entry and flag already
    int kept = 0;      // days whose differing entry was kept, as chosen
    int leftOut = 0;   // days outside the range that were left out
    StoredRange range;
};

// Applies the days (in key order, each day once) as chosen, in one
// transaction: an error rolls everything back and passes to the caller.
// Only the days that change are written. Announced to MasterChanges as
// entries replaced when anything changed.
ImportOutcome ApplyImport(const QList<DayRow>& days, const ImportChoice& choice);
