#pragma once

#include "sync/CalendarMerge.h"

#include <QList>
#include <QString>

// Takes a conflict copy's days into the calendar in use: every day of the
// copy merged with the calendar's (MergeConflictCopy, `copyLabel` naming the
// copy in the divider) and written in one transaction. The copy itself is
// left alone. Returns the merge, whose `writes` are what the calendar took
// and whose `unstored` days (with an entry) lie outside the calendar's
// range and were left out. Throws EngineError, MergeError; nothing is
// written then.
CalendarMerge MergeCopyIntoCalendar(const QList<DayRow>& copy, const QString& copyLabel);
