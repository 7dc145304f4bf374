#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Moving the calendar gDataPath into another folder (one that a sync program
// keeps, say): the calendar file and its backup folder are copied, the
// copies are checked, and only then may the old ones go. The file keeps its
// name, and an encrypted calendar stays encrypted: its bytes are copied as
// they are, and the copy is opened with the keys held for the calendar.

// Whether a folder can take the calendar.
struct MoveTarget
{
    enum Verdict
    {
        Fit,
        NotAFolder,    // no such folder
        SameFolder,    // the calendar's own folder
        InsideBackups, // the calendar's backup folder, or a folder below it
        HoldsCalendar, // a calendar of the same name is there already
        HoldsRemains,  // a journal or a range change's copy is there: the remains of a calendar
        BackupTaken    // its backup folder holds another file under a backup's name
    };
    Verdict verdict = Fit;
    // The file that stands in the way.
    QString found;
};
MoveTarget CheckMoveTarget(const QString& folder);

// A calendar copied into another folder and checked, still in its own.
struct CalendarCopy
{
    QString from; // the calendar file copied
    QString to;   // its copy
    // The files of the backup folder beside `from` whose copies are in place.
    QStringList backups;
    // The files the copy wrote, and whether it made the backup folder.
    QStringList written;
    bool madeBackupFolder = false;
};

// Copies the calendar file and every file of its backup folder into `folder`
// (a backup folder made there when missing). Each file is written under a
// temporary name, flushed and renamed, and nothing is replaced: a backup of
// the same name and the same bytes that is there already counts as copied.
// Then every copy is read back and compared with its original, and the
// calendar's copy is opened and read through as a calendar. The shared
// handle is closed first (and left closed). Throws EngineError when any of
// that fails or CheckMoveTarget finds the folder unfit; what it wrote is
// removed again then, and nothing beside the calendar has changed. Not
// inside a store operation.
CalendarCopy CopyCalendarTo(const QString& folder);

// Removes the calendar file and the backups that `copy` copied, and the
// backup folder when nothing else is left in it. Returns what could not be
// removed (whole paths; the backup folder when other files stay in it).
// Removes nothing else.
QStringList RemoveCopiedCalendar(const CalendarCopy& copy);

// Removes what the copy wrote (after all, the calendar stays where it is).
void DiscardCalendarCopy(const CalendarCopy& copy);

// Runs after the files are copied and before they are checked, with the copy
// (tests alter it to see the check fail); an empty function removes it.
void setCopyCheckHookForTesting(std::function<void(const CalendarCopy&)> hook);
