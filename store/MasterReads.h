#pragma once

#include <QList>
#include <QString>

// Reads of table Master for the views. Each one is a complete operation on
// the calendar file under the open policy of FileSession: with speed priority
// off it opens the file and closes it again.

// One stored day as the views show it.
struct DayRecord
{
    int key = 0;           // day key yyyymmdd
    int week = 0;          // 0 = Sunday ... 6 = Saturday
    bool holiday = false;  // the stored flag says holiday; a missing flag does not
    QString plan;          // the entry, lines separated by CR LF
    bool hasEntry = false; // the entry is not empty (also where `plan` is not read)
};

// The stored days of one month, in key order.
struct MonthDays
{
    // False when no day is stored from the month's first day on (the month
    // lies after the last stored day): the grid keeps what it shows.
    bool anyFrom = false;
    // The month's days; empty when the first day found belongs to a later
    // month.
    QList<DayRecord> days;
};

// The days of the month `yearMonth` (yyyymm), found with one keyed look-up.
// Entries are not read, only whether they are empty.
MonthDays ReadMonthDays(int yearMonth);

// The two lists of days: every stored day, or the days whose entry is not
// empty.
enum class DayList
{
    AllDays,
    DaysWithEntries
};

// The days of a list in key order, with their entries.
QList<DayRecord> ReadDayList(DayList which);

// The month and day `monthDay` (mmdd) of every stored year, in key order,
// with their entries.
QList<DayRecord> ReadYearlyDays(int monthDay);

// Every month from the month of the first stored day to the month of the
// last, as yyyymm numbers in ascending order; empty for an empty calendar.
QList<int> ReadStoredMonths();
