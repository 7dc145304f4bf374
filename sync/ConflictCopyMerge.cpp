#include "sync/ConflictCopyMerge.h"

#include "store/DayUpdates.h"
#include "store/FileSession.h"
#include "sync/JournalReplay.h"

namespace {

// The copy merged with the calendar's days of its span, read in `session`.
CalendarMerge mergeWithCalendar(FileSession& session, const QList<DayRow>& copy,
                                const QString& copyLabel)
{
    const QList<DayRow> calendar = ReadDayRowList(
        session.db(), DaySelection{copy.first().key / 100, copy.last().key / 100, false, {}});
    return MergeConflictCopy(calendar, copy, copyLabel);
}

} // namespace

CalendarMerge MergeCopyIntoCalendar(const QList<DayRow>& copy, const QString& copyLabel)
{
    if (copy.isEmpty())
        return {};
    // Read and written in one operation, so that nothing comes between.
    FileSession session;
    CalendarMerge merge = mergeWithCalendar(session, copy, copyLabel);
    WriteDayUpdates(UpdatesOf(merge.writes));
    return merge;
}

CalendarMerge PlanCopyMerge(const QList<DayRow>& copy, const QString& copyLabel)
{
    if (copy.isEmpty())
        return {};
    FileSession session;
    return mergeWithCalendar(session, copy, copyLabel);
}
