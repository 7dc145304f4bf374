#pragma once

#include <QString>
#include <QStringList>

// Entries that could not be written to the calendar when the program had to
// end without asking (a quit signal, the session's end, a lost display) are
// kept in recovery files in the per-user data folder, one file per entry:
// the day, the time and the text. The next start tells the user where they
// are.

// The folder of the recovery files.
QString RecoveryFolder();

// Writes the entry `text` of the day `dayKey` into a new recovery file,
// readable and writable by the owner only. Returns its path, whose name ends
// in ".new" until the next start reports it; "" when even that could not be
// written, and the text went to the standard error output as the last place
// left.
QString KeepForRecovery(int dayKey, const QString& text);

// Recovery files written since the last call, under the names they keep from
// now on. Each is reported once.
QStringList TakeNewRecoveryFiles();

// The notice that names the recovery files.
QString RecoveryNoticeText(const QStringList& files);
