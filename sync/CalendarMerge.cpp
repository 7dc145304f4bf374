#include "sync/CalendarMerge.h"

#include <QHash>

#include <algorithm>

namespace {

QHash<int, DayValue> ByKey(const QList<DayRow>& rows)
{
    QHash<int, DayValue> days;
    days.reserve(rows.size());
    for (const DayRow& row : rows)
        days.insert(row.key, DayValue::fromRow(row));
    return days;
}

void Take(CalendarMerge& result, int key, const DayMerge& merge)
{
    if (merge.changed())
        result.writes.append({key, merge.day, merge.textChanged, merge.kindChanged});
    if (merge.text == TextOutcome::Merged || merge.text == TextOutcome::Conflict)
        result.merged.append({key, merge.text == TextOutcome::Conflict});
    if (merge.kindConflict)
        result.kindConflicts.append(key);
}

template <typename T> QList<T> InKeyOrder(QList<T> days)
{
    std::sort(days.begin(), days.end(), [](const T& a, const T& b) { return a.key < b.key; });
    return days;
}

} // namespace

CalendarMerge MergeJournal(const QList<JournalDay>& journal, const QList<DayRow>& file,
                           const QString& fileLabel)
{
    const QHash<int, DayValue> fileDays = ByKey(file);
    CalendarMerge result;
    for (const JournalDay& day : InKeyOrder(journal)) {
        const auto found = fileDays.constFind(day.key);
        if (found == fileDays.cend()) {
            const bool text = day.ours.text != day.base.text;
            const bool kind = day.ours.workday != day.base.workday;
            if (text || kind)
                result.unstored.append({day.key, day.ours, text, kind});
            continue;
        }
        Take(result, day.key, MergeDay(day.base, day.ours, *found, MergeInto::Theirs, fileLabel));
    }
    return result;
}

CalendarMerge MergeConflictCopy(const QList<DayRow>& calendar, const QList<DayRow>& copy,
                                const QString& copyLabel)
{
    const QHash<int, DayValue> calendarDays = ByKey(calendar);
    CalendarMerge result;
    for (const DayRow& row : InKeyOrder(copy)) {
        const DayValue copyDay = DayValue::fromRow(row);
        const auto found = calendarDays.constFind(row.key);
        if (found == calendarDays.cend()) {
            if (!copyDay.text.isEmpty())
                result.unstored.append({row.key, copyDay, true, false});
            continue;
        }
        Take(result, row.key, MergeDay(std::nullopt, *found, copyDay, MergeInto::Ours, copyLabel));
    }
    return result;
}
