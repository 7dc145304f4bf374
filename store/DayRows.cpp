#include "store/DayRows.h"

#include <algorithm>

namespace {

// The day keys of a selection's months: from the first day of firstYm to
// before the first day of the month after lastYm.
std::pair<int, int> monthKeys(const DaySelection& s)
{
    const int after = s.lastYm % 100 == 12 ? (s.lastYm / 100 + 1) * 100 + 1 : s.lastYm + 1;
    return {s.firstYm * 100, after * 100};
}

QString monthsSql(const QString& columns, const DaySelection& s, bool ordered)
{
    return QStringLiteral("SELECT ") + columns +
           QStringLiteral(" FROM Master WHERE 日付 >= ? AND 日付 < ?") +
           (s.entriesOnly ? QStringLiteral(" AND 内容 <> ''") : QString()) +
           (ordered ? QStringLiteral(" ORDER BY 日付") : QString());
}

DayRow rowOf(const Query& q)
{
    DayRow day;
    day.key = q.value(0).toInt();
    day.week = q.value(1).toInt();
    const QVariant workday = q.value(2);
    if (!workday.isNull())
        day.workday = workday.toBool();
    const QVariant text = q.value(3);
    if (!text.isNull())
        day.text = text.toString();
    return day;
}

QList<int> sortedKeys(const DaySelection& s)
{
    QList<int> keys = s.keys;
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

} // namespace

StoredRange ReadStoredRange(Database& db)
{
    // Two keyed look-ups: min and max in one select would scan the table.
    Query q(db, QStringLiteral("SELECT (SELECT 日付 FROM Master ORDER BY 日付 LIMIT 1), "
                               "(SELECT 日付 FROM Master ORDER BY 日付 DESC LIMIT 1)"));
    q.exec();
    StoredRange range;
    if (q.next() && !q.value(0).isNull()) {
        range.firstYm = q.value(0).toInt() / 100;
        range.lastYm = q.value(1).toInt() / 100;
    }
    return range;
}

int CountDayRows(Database& db, const DaySelection& selection)
{
    if (!selection.keys.isEmpty()) {
        int count = 0;
        Query q(db, QStringLiteral("SELECT count(*) FROM Master WHERE 日付 = ?"));
        for (const int key : sortedKeys(selection)) {
            q.bind(key).exec();
            if (q.next())
                count += q.value(0).toInt();
        }
        return count;
    }
    const auto [from, to] = monthKeys(selection);
    Query q(db, monthsSql(QStringLiteral("count(*)"), selection, false));
    q.bind(from).bind(to).exec();
    return q.next() ? q.value(0).toInt() : 0;
}

bool ReadDayRows(Database& db, const DaySelection& selection,
                 const std::function<bool(DayRow&&)>& take)
{
    const QString columns = QStringLiteral("日付, 曜日, 平日, 内容");
    if (!selection.keys.isEmpty()) {
        Query q(db, QStringLiteral("SELECT ") + columns +
                        QStringLiteral(" FROM Master WHERE 日付 = ?"));
        for (const int key : sortedKeys(selection)) {
            q.bind(key).exec();
            if (q.next() && !take(rowOf(q)))
                return false;
        }
        return true;
    }
    const auto [from, to] = monthKeys(selection);
    Query q(db, monthsSql(columns, selection, true));
    q.bind(from).bind(to).exec();
    while (q.next())
        if (!take(rowOf(q)))
            return false;
    return true;
}

QList<DayRow> ReadDayRowList(Database& db, const DaySelection& selection)
{
    QList<DayRow> days;
    ReadDayRows(db, selection, [&days](DayRow&& day) {
        days.append(std::move(day));
        return true;
    });
    return days;
}
