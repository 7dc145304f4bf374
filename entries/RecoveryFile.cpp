#include "entries/RecoveryFile.h"

#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "store/clsMaster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The ending of a file being written; it takes its name when complete.
const QString kPartial = QStringLiteral(".part");
// The ending under which earlier versions kept files until they were
// reported.
const QString kNotReported = QStringLiteral(".new");
// The settings value that lists the files reported already.
const QString kReportedValue = QStringLiteral("RecoveryReported");

bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

bool isMine(const QFileInfo& file)
{
#ifdef Q_OS_WIN
    (void)file;
    return true;
#else
    // The temporary folder is shared: another user's file is not reported.
    return file.ownerId() == ::geteuid();
#endif
}

// True when nothing is called `path`, under any of the endings a recovery
// file passes through.
bool nameIsFree(const QString& path)
{
    return !QFileInfo::exists(path) && !QFileInfo::exists(path + kPartial) &&
           !QFileInfo::exists(path + kNotReported);
}

// `stem`.txt, or `stem`-2.txt, -3 ... when taken.
QString unusedName(const QString& stem)
{
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; !nameIsFree(path); ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

// Writes `bytes` to `path` through a file of its own beside it, which takes
// the name in one step once it is on disk.
bool writeInOneStep(const QString& path, const QByteArray& bytes)
{
    const QString partial = path + kPartial;
    QFile::remove(partial);
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    // On disk before the process ends: the machine may be going down.
    const bool written =
        file.write(bytes) == bytes.size() && file.flush() && syncToDisk(file.handle());
    file.close();
    if (written && ReplaceFile(partial, path))
        return true;
    file.remove();
    return false;
}

QStringList reportedFiles()
{
    return RegRead(kRegKey, kReportedValue, QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void setReportedFiles(QStringList files)
{
    // Files that are gone need not be remembered.
    files.removeIf([](const QString& path) { return !QFileInfo::exists(path); });
    files.removeDuplicates();
    RegWrite(kRegKey, kReportedValue, files.join(QLatin1Char('\n')));
}

} // namespace

QString RecoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

QStringList RecoveryFolders()
{
    QStringList folders{RecoveryFolder()};
    if (!gDataPath.isEmpty())
        folders << QFileInfo(gDataPath).absolutePath();
    folders << QDir::tempPath();
    folders.removeDuplicates();
    return folders;
}

QString WriteRecoveryFile(int dayKey, const QString& text, const QString& replacing)
{
    const QDateTime now = Clock::Now();
    QString body =
        QStringLiteral("日付 %1\n時刻 %2\n\n")
            .arg(FormatDayKey(dayKey), now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    body += QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!body.endsWith(QLatin1Char('\n')))
        body += QLatin1Char('\n');
    const QByteArray bytes = body.toUtf8();

    if (!replacing.isEmpty() && writeInOneStep(replacing, bytes))
        return replacing;
    const QString recoveryFolder = RecoveryFolder();
    for (const QString& folder : RecoveryFolders()) {
        if (folder == recoveryFolder) {
            if (!QDir().mkpath(folder))
                continue;
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QString path =
            unusedName(folder + QStringLiteral("/Entry-%1-%2")
                                    .arg(dayKey)
                                    .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
        if (writeInOneStep(path, bytes))
            return path;
    }
    // Nowhere to keep it: the session's log is the last place that may.
    std::fputs(bytes.constData(), stderr);
    std::fflush(stderr);
    return QString();
}

QStringList TakeNewRecoveryFiles()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(Entry-\\d+-\\d{8}-\\d{6})(?:-\\d+)?\\.txt(\\.part|\\.new)?$"));
    const QStringList reported = reportedFiles();
    QStringList found;
    for (const QString& folder : RecoveryFolders()) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("Entry-*")}, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            const QRegularExpressionMatch match = pattern.match(file.fileName());
            if (!match.hasMatch() || !isMine(file))
                continue;
            QString path = file.absoluteFilePath();
            if (match.hasCaptured(2)) {
                // Never left under a temporary name: it may hold the only
                // copy of what was typed, complete or not.
                const QString stem = folder + QLatin1Char('/') + match.captured(1);
                QString named = stem + QStringLiteral(".txt");
                for (int n = 2; QFileInfo::exists(named); ++n)
                    named = stem + QStringLiteral("-%1.txt").arg(n);
                if (QFile::rename(path, named))
                    path = named;
            }
            if (!reported.contains(path))
                found << path;
        }
    }
    setReportedFiles(reported + found);
    return found;
}

void MarkRecoveryFilesReported(const QStringList& files)
{
    setReportedFiles(reportedFiles() + files);
}

namespace {

QString withFiles(QString text, const QStringList& files)
{
    for (const QString& file : files)
        text += QLatin1Char('\r') + QDir::toNativeSeparators(file);
    return text;
}

} // namespace

QString RecoveryNoticeText(const QStringList& files)
{
    return withFiles(
        QStringLiteral("前回の終了時に書き込めなかった予定を、次のファイルに残しました。"), files);
}

QString ConflictNoticeText(const QStringList& files)
{
    return withFiles(QStringLiteral("同じ日の予定を、他のプログラムが変更していました。暦ファイル"
                                    "の予定はそのまま残し、入力した予定を次のファイルに残しま"
                                    "した。"),
                     files);
}

QString PendingRecovery::keep(int dayKey, const QString& text)
{
    if (dayKey != mDay)
        release();
    if (!mPath.isEmpty() && text == mText)
        return mPath;
    const QString path = WriteRecoveryFile(dayKey, text, mPath);
    if (path.isEmpty())
        return path;
    // A new file when the old one could not be replaced: the old one holds
    // an earlier version only.
    if (!mPath.isEmpty() && path != mPath)
        QFile::remove(mPath);
    mPath = path;
    mDay = dayKey;
    mText = text;
    return path;
}

void PendingRecovery::discard()
{
    if (!mPath.isEmpty())
        QFile::remove(mPath);
    release();
}

QString PendingRecovery::release()
{
    const QString path = mPath;
    mPath.clear();
    mText.clear();
    mDay = 0;
    return path;
}
