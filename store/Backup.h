#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Automatic backups of the calendar: compacted copies in the folder "backup"
// beside the calendar file, named Data-YYYYMMDD-HHMMSS.vad after the moment
// they were made, readable and writable by the owner only.

// How many backups are kept; older ones are removed.
constexpr int kBackupsKept = 20;

// The backup folder beside gDataPath.
QString BackupFolder();

// Writes a compacted copy of the calendar into the backup folder, under the
// open policy of every store operation, and removes the oldest backups beyond
// kBackupsKept. Returns the new backup's path; throws EngineError when no
// complete copy could be written (nothing is left behind then).
QString BackupCalendar();

// The backups in the folder, oldest first; other files there are not counted.
QStringList ListBackups();

// True when a backup made on `day` exists.
bool HasBackupOf(const QDate& day);
