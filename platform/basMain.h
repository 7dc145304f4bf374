#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Small services shared by the whole program: folders and files, the three
// message boxes, the year-month input box, month arithmetic, today's day key
// and the nested busy pointer.

// Folder of the help viewer (on Windows the Windows folder) without a trailing
// separator, or "" when it cannot be found.
QString GetWindowsFolder();

// Folder of the running executable, always ending in "/".
QString GetAppFolder();
// Makes GetAppFolder() answer `folder` (a trailing "/" is added); "" undoes it.
void setAppFolderForTesting(const QString& folder);

// True when `path` names an existing file, hidden ones included; false for
// folders and for the empty path.
bool FileExists(const QString& path);

// Deletes the file when it exists. Returns false only when a file exists and
// could not be deleted.
bool RemoveFile(const QString& path);

// Names of every entry of a folder (files of any kind and sub-folders, without
// "." and ".."), sorted by name without regard to letter case; empty when the
// folder is empty or cannot be read.
QStringList ListFolder(const QString& folder);

// Warning box with an OK button.
void ShowWarning(const QString& message);
// Question box with Yes and No; returns Dialogs::Yes (6) or Dialogs::No (7).
// Return presses `defaultButton`: Yes unless a caller asks for No.
int AskYesNo(const QString& message, int defaultButton = 6);
// Information box with an OK button.
void ShowInfo(const QString& message);

// Input box titled `title` with `prompt`, pre-filled with `initial`. Returns
// the text typed, or "" when the user cancelled.
QString InputBox(const QString& prompt, const QString& title, const QString& initial = QString());

// Asks for a year-month number between `lower` and `upper` (both included),
// pre-filled with `yearMonth`. An answer outside the bounds, or whose last two
// digits are not a month from 01 to 12, is refused with a warning and asked
// again. Returns false, leaving `yearMonth` unchanged, when the user cancels
// or leaves the answer empty.
bool InputYearMonth(int& yearMonth, int lower, int upper, const QString& prompt);

// The leading number of a text, as a whole number rounded half to even;
// std::nullopt when it does not fit into 32 bits. A text that does not begin
// with a number gives 0.
std::optional<int> LeadingWholeNumber(const QString& text);

// Year-month number `months` (>= 0) months after `yearMonth`.
int AddMonths(int yearMonth, int months);

// Today's date as a day key (19990809).
int TodayKey();

// Nested hourglass: on increments and off decrements a counter that never
// goes below 0; the pointer is the hourglass while the counter is above 0.
void SetBusy(bool on);
int BusyCount();

// Lets pending window messages run once. While input is held, the user's
// keys and clicks are not among them: they stay queued until the last hold
// has ended and the event loop takes them.
void DoEvents();

// Holds the user's input back from DoEvents; nests like the busy pointer, and
// a surplus release cannot drive the count below 0.
void HoldInput(bool on);
bool InputHeld();
