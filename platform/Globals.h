#pragma once

#include <QString>
#include <QStringList>

// Program-wide state set once by the start-up procedure and read by every
// layer. It lives in the lowest layer so that the store and the views can
// read it without depending on the application layer.

// Folder of the help viewer, ending in "/".
extern QString gWindowsFolder;
// Full path of the calendar file.
extern QString gDataPath;
// Speed priority: true keeps the calendar file open for the whole run.
extern bool gOpenFlag;
// Day-of-week names, index 0 = Sunday, matching the stored day-of-week code.
extern QStringList gWeekNames;

// The texts the program identifies itself with.
inline const QString kAppTitle = QStringLiteral("Zedu");
// The settings key of the program, relative to the current user.
inline const QString kRegKey = QStringLiteral("software\\voradu\\zedu");

// Name of the program's shortcut in the startup, desktop and programs folders.
#ifdef Q_OS_WIN
inline const QString kShortcutName = QStringLiteral("zedu.lnk");
#else
inline const QString kShortcutName = QStringLiteral("zedu.desktop");
#endif
