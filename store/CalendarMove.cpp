#include "store/CalendarMove.h"

#include "platform/CalendarPath.h"
#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/CalendarCheck.h"
#include "store/EncryptedImage.h"
#include "store/Engine.h"
#include "store/FileSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

std::function<void(const CalendarCopy&)> checkHook;

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(path, file.errorString(), EngineError::fileCause(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EngineError(path, file.errorString(), EngineError::Cause::DiskError);
    return bytes;
}

// Whether two files hold the same bytes; false when either cannot be read.
bool sameBytes(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    return first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly) &&
           first.size() == second.size() && first.readAll() == second.readAll();
}

bool isAtOrBelow(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// The files of the backup folder: every one, not only those that count as
// backups, so that nothing kept there is left behind.
QFileInfoList backupFiles()
{
    return QDir(BackupFolder())
        .entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The copy of `source` at `target` holds the same bytes as `source` does.
void compareCopy(const QString& source, const QString& target)
{
    if (readWhole(target) != readWhole(source))
        throw EngineError(target, QStringLiteral("the copy differs from the file it was made from"),
                          EngineError::Cause::DiskError);
}

} // namespace

void setCopyCheckHookForTesting(std::function<void(const CalendarCopy&)> hook)
{
    checkHook = std::move(hook);
}

MoveTarget CheckMoveTarget(const QString& folder)
{
    const QFileInfo target(folder);
    if (!target.isDir())
        return {MoveTarget::NotAFolder, folder};
    const QString here = WholePath(folder);
    const QFileInfo calendar(gDataPath);
    if (here == WholePath(calendar.absolutePath()))
        return {MoveTarget::SameFolder, calendar.absoluteFilePath()};
    if (isAtOrBelow(here, WholePath(BackupFolder())))
        return {MoveTarget::InsideBackups, BackupFolder()};
    const QDir into(folder);
    const QString name = calendar.fileName();
    if (QFileInfo::exists(into.filePath(name)))
        return {MoveTarget::HoldsCalendar, into.absoluteFilePath(name)};
    // A journal would be rolled back into the copy, with another file's
    // pages; a range change's copy would be taken for the calendar.
    for (const QString& remains : {name + QStringLiteral("-journal"), QStringLiteral("New.vad")})
        if (QFileInfo::exists(into.filePath(remains)))
            return {MoveTarget::HoldsRemains, into.absoluteFilePath(remains)};
    const QDir backups(into.filePath(QStringLiteral("backup")));
    for (const QFileInfo& file : backupFiles()) {
        const QString there = backups.absoluteFilePath(file.fileName());
        if (QFileInfo::exists(there) && !sameBytes(there, file.filePath()))
            return {MoveTarget::BackupTaken, there};
    }
    return {};
}

CalendarCopy CopyCalendarTo(const QString& folder)
{
    CalendarCopy copy;
    copy.from = QFileInfo(gDataPath).absoluteFilePath();
    const QDir into(QFileInfo(folder).absoluteFilePath());
    copy.to = into.filePath(QFileInfo(copy.from).fileName());
    const MoveTarget target = CheckMoveTarget(folder);
    if (target.verdict != MoveTarget::Fit)
        throw EngineError(target.found, QStringLiteral("the folder cannot take the calendar"));

    // The file is read as it is on disk, every change committed; an
    // encrypted calendar's image was written back as it was committed.
    gDatabase.close();
    if (QFileInfo::exists(copy.from + QStringLiteral("-journal")))
        throw EngineError(copy.from, QStringLiteral("a write to the calendar is under way"),
                          EngineError::Cause::InUse);

    const QString backupsThere = into.filePath(QStringLiteral("backup"));
    copy.madeBackupFolder = !QFileInfo(backupsThere).isDir();
    // Each original beside the file made from it (or found equal to it).
    QList<std::pair<QString, QString>> copies;
    try {
        ReplaceFileContents(copy.to, readWhole(copy.from));
        copy.written << copy.to;
        copies.append({copy.from, copy.to});
        const QFileInfoList backups = backupFiles();
        if (backups.isEmpty())
            copy.madeBackupFolder = false;
        else if (copy.madeBackupFolder && !QDir().mkpath(backupsThere))
            throw EngineError(backupsThere, QStringLiteral("the backup folder cannot be made"),
                              EngineError::creationCause(backupsThere));
        for (const QFileInfo& backup : backups) {
            const QString there = QDir(backupsThere).filePath(backup.fileName());
            if (!QFileInfo::exists(there)) {
                ReplaceFileContents(there, readWhole(backup.filePath()));
                copy.written << there;
            }
            copies.append({backup.filePath(), there});
            copy.backups << backup.filePath();
        }
        if (checkHook)
            checkHook(copy);
        for (const auto& [source, made] : std::as_const(copies))
            compareCopy(source, made);
        Database check;
        check.openForReading(copy.to);
        CheckCalendar(check, CalendarCheck::Full);
    } catch (const EngineError&) {
        DiscardCalendarCopy(copy);
        throw;
    }
    return copy;
}

void DiscardCalendarCopy(const CalendarCopy& copy)
{
    for (const QString& path : copy.written)
        QFile::remove(path);
    if (copy.madeBackupFolder)
        QDir().rmdir(QFileInfo(copy.to).absolutePath() + QStringLiteral("/backup"));
}

QStringList RemoveCopiedCalendar(const CalendarCopy& copy)
{
    QStringList left;
    for (const QString& path : QStringList{copy.from} + copy.backups)
        if (!QFile::remove(path) && QFileInfo::exists(path))
            left << path;
    // The folder goes only when empty: whatever else is in it stays there.
    const QString backups = QFileInfo(copy.from).absolutePath() + QStringLiteral("/backup");
    if (QFileInfo(backups).isDir() && !QDir().rmdir(backups))
        left << backups;
    return left;
}
