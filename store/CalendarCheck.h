#pragma once

#include "store/Engine.h"

// How thoroughly a calendar file is read before it is trusted.
enum class CalendarCheck
{
    // Table Master with the calendar's columns, and a record read.
    Columns,
    // The same, and every page of the file readable.
    Pages,
    // The same, and every index in step with its table.
    Full
};

// Reads the database open in `db` as a calendar. Throws EngineError with the
// cause NotCalendar when it is no calendar (no table Master, or columns
// missing or of other kinds than the program stores: whole numbers for 日付
// and 曜日, a flag for 平日, text for 内容), Damaged for a damaged one; other
// failures (a locked file) keep their own cause.
void CheckCalendar(Database& db, CalendarCheck depth);

// The calendar file gDataPath, under the open policy, read as start-up needs
// it before the window shows it (every page).
void CheckCalendarFile();
