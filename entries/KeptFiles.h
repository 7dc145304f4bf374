#pragma once

#include <QStringList>

class EnvelopeKeys;

// The files kept beside the calendar that hold its text: its copies
// (backups, calendars and journals set aside: store/Backup.h) and the
// recovery files. While the calendar is encrypted they are sealed with its
// keys; these follow the calendar when its encryption is turned on or off
// or its password changes.

struct KeptFiles
{
    QStringList plain;
    QStringList sealed;
    bool isEmpty() const { return plain.isEmpty() && sealed.isEmpty(); }
};

// Every kept file, by whether it is sealed.
KeptFiles FindKeptFiles();

// What was done to some kept files: those that failed, with why, one a line.
struct KeptFilesOutcome
{
    QStringList failed;
};

// Seals plain files with the held keys (a recovery file takes the sealed
// ending); writes sealed ones plain again (their keys are still held); seals
// files sealed with `from` (the held keys when null) again with `keys`
// (after a new password, or fresh keys); deletes files. Each file is
// replaced only by a complete one, and keeps its modification time: a
// backup keeps its name, its time and its place in the backups' order.
KeptFilesOutcome SealKeptFiles(const QStringList& paths);
KeptFilesOutcome UnsealKeptFiles(const QStringList& paths);
KeptFilesOutcome ResealKeptFiles(const QStringList& paths, const EnvelopeKeys& keys,
                                 const EnvelopeKeys* from = nullptr);
KeptFilesOutcome DeleteKeptFiles(const QStringList& paths);
