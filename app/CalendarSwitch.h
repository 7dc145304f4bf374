#pragma once

#include <QString>

// Another calendar opened from the running window (暦ファイルの場所): the
// window, whose entry the command saved, is ended as at exit, and the
// start-up's steps run again on `path`, so that everything held for the old
// calendar (the shared handle, the keys of an encrypted one, the search's
// index, the marks of the month grid, the timers that watch the calendar's
// folder, the mark beside it) goes with the old window, and the new calendar
// meets what any calendar meets at a start: its password asked for, a
// damaged one offered its backup, a locked one waited for, its daily backup.
// Once the new window shows, its place is remembered for the next starts.
// When the new calendar cannot be used (its password not given, a damaged
// one not restored), the calendar in use before opens again, with the keys
// it had.
void OpenOtherCalendar(const QString& path);
