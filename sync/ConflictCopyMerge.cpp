#include "sync/ConflictCopyMerge.h"

#include "store/DayUpdates.h"
#include "store/FileSession.h"
#include "sync/JournalReplay.h"

CalendarMerge MergeCopyIntoCalendar(const QList<DayRow>& copy, const QString& copyLabel)
{
    if (copy.isEmpty())
        return {};
    // The calendar's days of the copy's span, read and written in one
    // operation, so that nothing comes between.
    FileSession session;
    const QList<DayRow> calendar = ReadDayRowList(
        session.db(), DaySelection{copy.first().key / 100, copy.last().key / 100, false, {}});
    CalendarMerge merge = MergeConflictCopy(calendar, copy, copyLabel);
    WriteDayUpdates(UpdatesOf(merge.writes));
    return merge;
}
