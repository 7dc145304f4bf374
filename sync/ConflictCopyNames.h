#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The names under which sync programs keep the other computer's version of
// a file beside it when both computers changed it: a pure match on names,
// nothing is opened.
//
//   Syncthing              Data.sync-conflict-20261208-101530-ABCDEF7.vad
//   Nextcloud, ownCloud    Data (conflicted copy 2026-12-08 101530).vad
//   Dropbox                Data (Hanako's conflicted copy 2026-12-08).vad
//                          (and " (1)", " (2)" ... inside the parentheses)
//   OneDrive               Data-HOSTNAME.vad
//
// OneDrive's form is read narrowly, so that this program's own names never
// count: its backups (Data-YYYYMMDD-HHMMSS.vad with -2, -3 or a six-digit
// number, Data-YYYYMMDD-HHMMSS-damaged.vad) are no computer's name.
class ConflictCopyNames
{
public:
    enum class Program
    {
        Syncthing,
        Nextcloud, // and ownCloud
        Dropbox,
        OneDrive
    };

    // Which program would name a conflict copy of the calendar file
    // `calendarName` (a file name such as Data.vad) `name`; nothing when
    // `name` is no such copy.
    static std::optional<Program> match(const QString& calendarName, const QString& name);

    // The conflict copies of the calendar file `calendarPath` in its folder,
    // as whole paths, in the order of their names.
    static QStringList find(const QString& calendarPath);
};
