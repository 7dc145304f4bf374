#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Persistent per-user settings as text values under a key path such as
// kRegKey. On Windows they live in the registry under HKEY_CURRENT_USER; on
// other platforms in a per-user settings file named after the key path
// (software\voradu\zedu -> $XDG_CONFIG_HOME/voradu/zedu.conf).

// The text stored under `valueName`, or `defaultText` when the key or the
// value is missing, the value is not text, or the store cannot be read.
QString RegRead(const QString& keyPath, const QString& valueName, const QString& defaultText);

// Stores `text` under `valueName`, creating the key when missing. True when
// the value was written through to the store.
bool RegWrite(const QString& keyPath, const QString& valueName, const QString& text);

// Stores several values under one key at once, in the order given, with one
// write of the store. True when all were written through.
bool RegWriteValues(const QString& keyPath, const QList<QPair<QString, QString>>& values);

// A number as settings store it: plain decimal text, the shortest that reads
// back as the same value, never in exponent form (300000 -> "300000",
// 1200.5 -> "1200.5").
QString RegNumberText(double value);

// The user's "Startup", "Desktop" or "Programs" folder without a trailing
// separator; "" when unknown. Nothing is created. Off Windows these are
// $XDG_CONFIG_HOME/autostart, the desktop folder that `xdg-user-dir DESKTOP`
// names (~/Desktop when it names none) and $XDG_DATA_HOME/applications.
QString ShellFolder(const QString& name);

// Every folder the program's shortcut is searched in, in search order,
// without trailing separators. On Windows the Programs folder; elsewhere
// $XDG_DATA_HOME/applications, then the applications folder of each entry of
// $XDG_DATA_DIRS.
QStringList ProgramsFolders();

// Full path of the first file named `fileName` (letter case ignored) in the
// tree below `folder`, searched depth-first in ListFolder order, a sub-folder
// before the files after it; "" when none. Folders and dangling links never
// match.
QString FindFile(const QString& folder, const QString& fileName);
