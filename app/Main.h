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

// Shows the About box as the splash screen: no caption, no OK button.
void ShowSplash();

// Exit code of a start-up that ended the program.
constexpr int kStartupEnded = 1;

// "True" or a non-zero number give true, "False" or "0" false; every other
// text counts as a missing value, which means true.
bool ParseOpenFlag(const QString& text);

// Where the calendar file lives: beside the executable, unless no calendar is
// there and that folder cannot be written, then in the per-user data folder.
// Makes that folder when it is missing.
QString ResolveDataPath();
// The same place, without making anything.
QString LocateDataPath();

// Warns once when the calendar file can be read but not written (its
// permissions, its folder's, or a read-only disk), naming the file.
void WarnIfReadOnly(const QString& path);

// The single-instance lock taken by Main(), held until the process ends.
// Tests that run Main() more than once in one process release it in between.
void ReleaseInstanceLock();
// Path of the lock file that marks a running instance.
QString InstanceLockPath();
