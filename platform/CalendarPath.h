#pragma once

#include <QString>

// Where the calendar file lives from one start to the next.
//
// Without a place of its own the calendar lives beside the executable when
// the program runs from the build tree (or from any folder of its own that it
// can write); an installed copy, or a program whose folder cannot be written,
// keeps it in the per-user data folder. Once the user has moved the calendar
// or opened another one (a folder that a sync program keeps, say), the
// settings value CalendarPath remembers that file, and every start looks
// there, also when it is not there (a sync folder not mounted yet): a
// calendar is never made elsewhere in its stead without asking.

// The settings value that remembers the calendar file.
inline const QString kCalendarPathValue = QStringLiteral("CalendarPath");

// The calendar file the settings remember, as a whole path; empty when none
// is remembered.
QString RememberedCalendarPath();
// Remembers `path` (made whole) for the next starts. False when the settings
// cannot be written.
bool RememberCalendarPath(const QString& path);

// The calendar's place when none is remembered: beside the executable or in
// the per-user data folder (see above). Makes nothing.
QString DefaultCalendarPath();

// The calendar the program opens when it starts without --calendar: the
// remembered one, else the default place.
QString UsualCalendarPath();

// True when `path` names a calendar to open: the file, or the compacted copy
// of a range change that was cut short before it took the file's name.
bool CalendarIsThere(const QString& path);

// `path` as one name for its file or folder, however it was named (a link,
// "..", a trailing "/"), so that two names can be compared; for something
// that is not there, its whole path cleaned.
QString WholePath(const QString& path);
