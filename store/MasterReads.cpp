#include "store/MasterReads.h"

#include "store/FileSession.h"
#include "store/clsMaster.h"

MonthDays ReadMonthDays(int yearMonth)
{
    FileSession session;
    const int first = yearMonth * 100;
    MonthDays result;
    // A month has at most 31 records, so the 32nd row (if any) already
    // belongs to a later month.
    Query month(session.db(),
                QStringLiteral("SELECT 日付, 曜日, 平日, coalesce(内容, '') <> '' FROM Master "
                               "WHERE 日付 >= ? ORDER BY 日付 LIMIT 32"));
    month.bind(first).exec();
    while (month.next()) {
        result.anyFrom = true;
        const int key = month.value(0).toInt();
        if (key / 100 != yearMonth)
            break;
        DayRecord day;
        day.key = key;
        day.week = month.value(1).toInt();
        const QVariant workday = month.value(2);
        day.holiday = !workday.isNull() && !workday.toBool();
        day.hasEntry = month.value(3).toBool();
        result.days.append(day);
    }
    return result;
}

QList<int> ReadStoredMonths()
{
    FileSession session;
    QList<int> months;
    // One keyed look-up per stored month: the first day after the month just
    // listed.
    Query next(session.db(),
               QStringLiteral("SELECT 日付 FROM Master WHERE 日付 >= ? ORDER BY 日付 LIMIT 1"));
    int key = gMaster.DateTop();
    for (;;) {
        next.bind(key).exec();
        if (!next.next())
            break;
        const int ym = next.value(0).toInt() / 100;
        next.finish();
        months.append(ym);
        key = ym * 100 + 100;
    }
    return months;
}

namespace {

// Every row of a query on all four fields, as days with their entries.
QList<DayRecord> wholeDays(Query& rows)
{
    QList<DayRecord> days;
    while (rows.next()) {
        DayRecord day;
        day.key = rows.value(0).toInt();
        day.week = rows.value(1).toInt();
        const QVariant workday = rows.value(2);
        day.holiday = !workday.isNull() && !workday.toBool();
        day.plan = rows.value(3).toString();
        day.hasEntry = !day.plan.isEmpty();
        days.append(std::move(day));
    }
    return days;
}

} // namespace

QList<DayRecord> ReadDayList(DayList which)
{
    FileSession session;
    Query rows(session.db(), which == DayList::AllDays
                                 ? QStringLiteral("select * from Master order by 日付;")
                                 : QStringLiteral("select * from Master where 内容 <> '' "
                                                  "order by 日付;"));
    rows.exec();
    return wholeDays(rows);
}

QList<DayRecord> ReadYearlyDays(int monthDay)
{
    FileSession session;
    Query rows(session.db(), QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master "
                                            "WHERE 日付 % 10000 = ? ORDER BY 日付"));
    rows.bind(monthDay).exec();
    return wholeDays(rows);
}
