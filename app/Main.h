#pragma once

#include <QString>

#include <optional>

// Prepares the application object: names used for the per-user folders and
// Qt's Japanese translations for the standard dialogs.
void InitApplication();

// The start-up procedure. Returns the exit code when start-up ended the
// program (another instance runs, the help viewer's folder is missing, the
// first run was declined or failed), or std::nullopt when the program goes on
// running in the event loop. `calendar` names the calendar file of this run
// (`zedu --calendar PATH`), which must exist; empty: the usual one.
std::optional<int> Main(const QString& calendar = QString());

// The rest of the start-up once gDataPath names the calendar: the calendar
// checked, unlocked or made, the daily backup, and the main window shown.
// Returns the exit code when the calendar cannot be used (the first run was
// declined, the password not given, a damaged calendar not restored), or
// std::nullopt with the window running.
std::optional<int> StartWindow();
// The main window on the calendar gDataPath, which start-up has checked,
// with the notices of the start: a calendar that cannot be written, another
// computer's fresh mark beside it, recovery files of earlier runs.
void ShowMainWindow();

// The calendar a start without --calendar opens: the remembered one (when
// it is not there, the user may look again, take the default place for this
// run, or end: std::nullopt), else the default place, its folder made.
std::optional<QString> FindUsualCalendar();

// The warning of a start that finds another computer's fresh mark beside
// the calendar.
QString InUseElsewhereText(const QString& host);

// Shows the About box as the splash screen: no caption, no OK button.
void ShowSplash();

// Exit code of a start-up that ended the program.
constexpr int kStartupEnded = 1;

// "True" or a non-zero number give true, "False" or "0" false; every other
// text counts as a missing value, which means true.
bool ParseOpenFlag(const QString& text);

// The calendar's default place (platform/CalendarPath.h), its folder made
// when it is missing.
QString ResolveDataPath();
// The calendar a start without --calendar opens: the remembered one, else the
// default place. Makes nothing.
QString LocateDataPath();

// Warns once when the calendar file can be read but not written (its
// permissions, its folder's, or a read-only disk), naming the file.
void WarnIfReadOnly(const QString& path);

// The single-instance lock taken by Main(), held until the process ends.
// Tests that run Main() more than once in one process release it in between.
void ReleaseInstanceLock();
// Path of the lock file that marks a running instance.
QString InstanceLockPath();
