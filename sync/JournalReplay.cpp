#include "sync/JournalReplay.h"

#include "store/DayJournal.h"
#include "store/DayUpdates.h"
#include "store/FileSession.h"

#include <QFileInfo>
#include <QHash>

#include <utility>

namespace {

// One journal day as the merge takes it. A column this run did not write
// counts as the same on its side as in the file (or as nothing, where the
// file does not store the day), so that only the other side's value of it
// can count.
JournalDay journalDay(const DayJournal::Day& day, const DayRow* file)
{
    const QString fileText = file ? file->entry() : QString();
    const std::optional<bool> fileKind = file ? file->workday : std::nullopt;
    JournalDay merged;
    merged.key = day.key;
    merged.base.text = day.baseText.value_or(fileText);
    merged.ours.text = day.ownText.value_or(fileText);
    merged.base.workday = day.baseKind.value_or(fileKind);
    merged.ours.workday = day.ownKind.value_or(fileKind);
    return merged;
}

} // namespace

QList<DayUpdate> UpdatesOf(const QList<DayWrite>& writes)
{
    QList<DayUpdate> updates;
    updates.reserve(writes.size());
    for (const DayWrite& write : writes) {
        DayUpdate update;
        update.key = write.key;
        if (write.text)
            update.text = write.day.text;
        if (write.kind)
            update.kind = write.day.workday;
        updates.append(update);
    }
    return updates;
}

JournalReplay& JournalReplay::instance()
{
    static JournalReplay replay;
    return replay;
}

void JournalReplay::install()
{
    SetCalendarReplacedHook([](Database& db) { instance().replay(db); });
}

void JournalReplay::replay(Database& db)
{
    const DayJournal& journal = DayJournal::instance();
    if (journal.isEmpty())
        return;
    const QList<DayJournal::Day> days = journal.days();
    QList<int> keys;
    keys.reserve(days.size());
    for (const DayJournal::Day& day : days)
        keys.append(day.key);
    const QList<DayRow> file = ReadDayRowList(db, DaySelection{0, 0, false, keys});
    QHash<int, const DayRow*> byKey;
    byKey.reserve(file.size());
    for (const DayRow& row : file)
        byKey.insert(row.key, &row);
    QList<JournalDay> journalDays;
    journalDays.reserve(days.size());
    for (const DayJournal::Day& day : days)
        journalDays.append(journalDay(day, byKey.value(day.key)));

    // The divider names the file by when it was written, which the sync
    // tools keep from the other computer.
    const CalendarMerge merge =
        MergeJournal(journalDays, file, MergeLabel(QFileInfo(db.path()).lastModified()));
    const int written = WriteDayUpdates(UpdatesOf(merge.writes));
    if (written == 0 && merge.unstored.isEmpty() && merge.kindConflicts.isEmpty())
        return;
    mReport.broughtBack += written;
    mReport.merged += merge.merged;
    mReport.unstored += merge.unstored;
    mReport.kindConflicts += merge.kindConflicts;
    emit replayed();
}

JournalReplay::Report JournalReplay::takeReport()
{
    return std::exchange(mReport, {});
}
