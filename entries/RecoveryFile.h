#pragma once

#include <QString>
#include <QStringList>

// Entries that could not be written to the calendar are kept in recovery
// files, one file per entry: the day, the time and the text. They are written
// while an entry cannot be saved, and when the program has to end without
// asking (a quit signal, the session's end, a lost display). The next start
// tells the user where they are.
//
// While the calendar is encrypted (its keys are held) a recovery file is
// sealed with the calendar's keys, like the calendar itself, and ends in
// ".enc" instead of ".txt"; ReadRecoveryFile reads either kind back.

// The folder of the recovery files.
QString RecoveryFolder();

// The folders a recovery file may go to, in the order tried: the recovery
// folder, the calendar's folder, the temporary folder.
QStringList RecoveryFolders();

// Writes the entry `text` of the day `dayKey` into a recovery file, readable
// and writable by the owner only and on disk when it returns. Given
// `replacing` (the same entry's file written before), that file is replaced
// in one step; otherwise, or when that fails, a new file goes to the first
// folder that takes it. A `replacing` in the temporary folder is replaced
// only when no folder before it takes the text. A file is complete under its name or not there: it
// is written under a temporary name first. Returns its path; "" when no folder took it, and the
// text went to the standard error output as the last place left (never for an encrypted calendar:
// its text is then lost). The one place where recovery files are written.
QString WriteRecoveryFile(int dayKey, const QString& text, const QString& replacing = QString());

// Every recovery file of this user in the folders of RecoveryFolders(),
// sealed or not, oldest name first within each folder.
QStringList ListRecoveryFiles();
// True when the recovery file `path` is sealed (by its name).
bool IsSealedRecoveryFile(const QString& path);

// What a recovery file holds.
struct RecoveredEntry
{
    int day = 0;  // the day key
    QString time; // when it was written, as the file says
    QString text; // lines separated by CR LF
};
// Reads a recovery file, sealed ones with the held keys. Throws EngineError
// (Locked, Altered) when a sealed one cannot be opened, and when the file
// cannot be read.
RecoveredEntry ReadRecoveryFile(const QString& path);

// A plain recovery file sealed with the held keys, or a sealed one written
// plain, under the ending of its new kind; the old file goes once the new
// one is on disk. Returns the new path. Throws EngineError; the file is then
// as it was.
QString SealRecoveryFile(const QString& path);
QString UnsealRecoveryFile(const QString& path);

// Recovery files that were not reported yet, in every folder of
// RecoveryFolders(). A file left under its temporary name (the program was
// killed while writing it) is given a name of its own first, and one in the
// temporary folder (reported or not) is moved to the recovery folder when
// that can be written. Each file is reported once.
QStringList TakeNewRecoveryFiles();
// Moves those of `files` that lie in the temporary folder to the recovery
// folder where it can be written now; a file reported already stays so.
// Returns the files left in the temporary folder.
QStringList MoveRecoveryFilesFromTemporaryFolder(const QStringList& files);
// True when the recovery file `path` lies in the temporary folder, the last
// place tried, which a restart of the computer may empty.
bool IsInTemporaryFolder(const QString& path);
// Marks files as reported: the user was told about them already.
void MarkRecoveryFilesReported(const QStringList& files);

// Said of recovery files in the temporary folder wherever they are named.
inline const QString kTemporaryFolderNotice =
    QStringLiteral("\r一時フォルダーのファイルは、コンピューターを再起動すると消えることがあり"
                   "ます。早めに他の場所へ写して下さい。");

// The notice that names the recovery files; for sealed ones it says where
// they are read, for those in the temporary folder that it may be emptied.
QString RecoveryNoticeText(const QStringList& files);
// The notice that names the recovery files of typed texts that met another
// program's change of the same day.
QString ConflictNoticeText(const QStringList& files);

// The recovery file of one edited entry that cannot be written yet: written
// again whenever its text changes, removed once the entry is saved, left
// where it is when the program ends with the entry unsaved.
class PendingRecovery
{
public:
    // Keeps `text` of `dayKey` in the entry's recovery file: a new file the
    // first time, the same file replaced afterwards; nothing is written when
    // that text is kept already, but a file in the temporary folder is moved
    // to the recovery folder once that can be written. Returns the file's
    // path ("" when none could be written).
    QString keep(int dayKey, const QString& text);
    // The entry is saved: its recovery file goes.
    void discard();
    // The file stays, and is no longer this entry's; the next keep() starts
    // a new one. Returns its path ("" when there is none).
    QString release();
    bool isKeeping() const { return !mPath.isEmpty(); }

private:
    QString mPath;
    int mDay = 0;
    QString mText;
};
