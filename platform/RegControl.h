#pragma once

#include <QList>
#include <QPair>
#include <QString>

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
// separator; "" when unknown. Off Windows these are the XDG autostart folder,
// the XDG desktop folder and the user's applications folder.
QString ShellFolder(const QString& name);

// Full path of the first file named `fileName` (letter case ignored) in the
// tree below `folder`, searched depth-first in ListFolder order; "" when none.
QString FindFile(const QString& folder, const QString& fileName);
