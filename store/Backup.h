#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Automatic backups of the calendar: compacted copies in the folder "backup"
// beside the calendar file, named Data-YYYYMMDD-HHMMSS-NNNNNN.vad after the
// moment they were made and their place in the order of making, readable
// and writable by the owner only.
//
// The number only grows: each backup takes one above every backup's in the
// folder. It orders the backups, not the time, so that a clock set back (or
// backups copied from a computer whose clock ran ahead) cannot make the one
// just written the first to go. Backups of earlier versions
// (Data-YYYYMMDD-HHMMSS.vad, with -2, -3 ... when that name was taken) come
// before every numbered one, in the order of the times in their names.

// How many backups are kept; older ones are removed.
constexpr int kBackupsKept = 20;

// The backup folder beside gDataPath.
QString BackupFolder();

// Writes a compacted copy of the calendar into the backup folder, under the
// open policy of every store operation, and removes the backups made first
// beyond kBackupsKept, never the one just written. Only a file that reads as a
// calendar is copied. Returns the new backup's path; throws EngineError when
// no complete copy could be written (nothing is left behind then).
QString BackupCalendar();

// The first start of a day keeps a copy of the calendar as it was: makes a
// backup unless one was made today. A failure is left for the commands that
// change much, which ask about their own backups.
void BackupOncePerDay();

// The names of the backups in the folder in the order they were made, the
// last one made last; other files there (calendars set aside among them)
// are not counted.
QStringList ListBackups();

// Every file that holds a copy of the calendar, or part of one, beside it:
// the backups, calendars set aside and other copies kept in the backup
// folder, and copies and journals set aside in the calendar's folder. Whole
// paths.
QStringList CalendarCopies();

// True when a backup made on `day` exists.
bool HasBackupOf(const QDate& day);

// One backup as the user chooses among them.
struct BackupInfo
{
    QString path;
    // When it was made, as the clock said then (it may lie after the clock
    // now).
    QDateTime made;
    // The first and last stored day (day keys); 0 when it holds none.
    int firstDay = 0;
    int lastDay = 0;
    // How many days have an entry.
    int entries = 0;
    // False when it could not be read as a calendar; the other values but
    // the path and time are then 0.
    bool readable = false;
};

// Reads what a backup holds. The one place where a backup's contents are read.
BackupInfo ReadBackupInfo(const QString& path);
// Every backup, the one made last first.
QList<BackupInfo> ReadBackupInfos();
// The backup made last of those that read as a calendar.
std::optional<BackupInfo> LastReadableBackup();

// Puts the backup `path` in the calendar's place in one step. The calendar in
// use is kept first: as a new backup when it reads as a calendar, otherwise
// set aside in the backup folder under a name of its own (Data-...-damaged),
// never deleted. Returns where it was kept. Throws EngineError, with the
// calendar untouched, when the backup cannot be read as a calendar, the
// calendar cannot be kept, or the copy cannot be put in place. The shared
// handle is closed for the replacement and opened again under speed priority.
QString RestoreBackup(const QString& path);

// Moves a copy of the calendar that was taken in (a sync program's conflict
// copy) into the backup folder under its own name, or with -2, -3 ... before
// its ending when that is taken; owner-only there. Such copies are no
// backups: never counted among the kBackupsKept, never removed. Returns the
// new path, or "" when the copy is no longer there to be moved (the sync
// program took it away meanwhile). Throws EngineError, with the copy where
// it was, when it cannot be moved.
QString MoveIntoBackupFolder(const QString& path);

// Moves the calendar file, which cannot be opened as a calendar, into the
// backup folder as Data-YYYYMMDD-HHMMSS-damaged.vad (a journal beside it goes
// with it), so that a new calendar can take its name; it is never deleted.
// gDatabase is closed first. Returns the new path. Throws EngineError, with
// the calendar where it was, when it cannot be moved.
QString SetDamagedCalendarAside();
