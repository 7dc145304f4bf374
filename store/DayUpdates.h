#pragma once

#include <QList>
#include <QString>

#include <optional>

// Days written as a whole batch, for merges worked out before anything is
// written: only the columns named change.
struct DayUpdate
{
    int key = 0;
    // The new entry, when it changes.
    std::optional<QString> text;
    // The new flag (true workday, missing NULL), when it changes.
    std::optional<std::optional<bool>> kind;

    bool operator==(const DayUpdate&) const = default;
};

// Writes `updates` into the calendar in one transaction under the open
// policy: every change or none. Each write is noted in the run's journal
// (store/DayJournal.h) against what the day held, and each entry written
// is announced to MasterChanges. Days the calendar does not store are
// passed over. Returns the days written. Throws EngineError.
int WriteDayUpdates(const QList<DayUpdate>& updates);
