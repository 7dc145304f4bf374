#pragma once

#include <QDate>

// A day key is yyyy * 10000 + mm * 100 + dd; a year-month number is
// yyyy * 100 + mm. Both are plain integers, so they order like the dates.

inline int DayKey(const QDate& date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

inline int DayKey(int year, int month, int day)
{
    return year * 10000 + month * 100 + day;
}

// The date a key names, or an invalid date when it names no real day
// (day 0, 31 April, month 13, ...).
inline QDate KeyToDate(int key)
{
    return QDate(key / 10000, key / 100 % 100, key % 100);
}

inline int YearMonthOf(const QDate& date)
{
    return date.year() * 100 + date.month();
}

// Shows a day key as yyyy/mm/dd with leading zeros (19990705 -> 1999/07/05).
inline QString FormatDayKey(int key)
{
    return QStringLiteral("%1/%2/%3")
        .arg(key / 10000, 4, 10, QLatin1Char('0'))
        .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(key % 100, 2, 10, QLatin1Char('0'));
}
