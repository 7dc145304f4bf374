#include "entries/RecoveryFile.h"

#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/clsMaster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <functional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The ending of a file being written; it takes its name when complete.
const QString kPartial = QStringLiteral(".part");
// The endings of a plain and of a sealed recovery file.
const QString kPlainEnding = QStringLiteral(".txt");
const QString kSealedEnding = QStringLiteral(".enc");
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

// True when nothing but `leaving` (a file that goes once the new one is
// there) is called `stem` with the ending of either kind, under any of the
// endings a recovery file passes through.
bool nameIsFree(const QString& stem, const QString& leaving)
{
    for (const QString& kind : {kPlainEnding, kSealedEnding})
        for (const QString& ending : {QString(), kPartial, kNotReported})
            if (stem + kind + ending != leaving && QFileInfo::exists(stem + kind + ending))
                return false;
    return true;
}

// `stem` + `ending`, or `stem`-2 + `ending`, -3 ... when taken by a file of
// either kind other than `leaving`.
QString unusedName(const QString& stem, const QString& ending, const QString& leaving = QString())
{
    QString free = stem;
    for (int n = 2; !nameIsFree(free, leaving); ++n)
        free = stem + QStringLiteral("-%1").arg(n);
    return free + ending;
}

// Recovery files, also ones left under a temporary name: the stem (without
// its number), the kind, the temporary ending.
const QRegularExpression& recoveryName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(Entry-\\d+-\\d{8}-\\d{6})(?:-\\d+)?(\\.txt|\\.enc)(\\.part|\\.new)?$"));
    return pattern;
}

// The file's bytes as a recovery file of the calendar holds them: sealed
// while its keys are held.
QByteArray fileBytes(const QByteArray& plain)
{
    const EnvelopeKeys* keys = HeldCalendarKeys();
    return keys ? Envelope::Seal(*keys, plain) : plain;
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

// True when `path` lies in the temporary folder, the last place tried, which
// a restart of the computer may empty. A calendar kept there itself does
// not make it one.
bool isInTemporaryFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    return folder == QDir::tempPath() && folder != RecoveryFolder() &&
           (gDataPath.isEmpty() || folder != QFileInfo(gDataPath).absolutePath());
}

// The recovery folder, made private when missing; false when it cannot be
// made.
bool makeRecoveryFolder()
{
    const QString folder = RecoveryFolder();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

// Copies the recovery file `path` of the temporary folder into the recovery
// folder, under its own name unless taken, and removes it once the copy is
// on disk. Returns the new path; `path` when it stays where it is.
QString moveToRecoveryFolder(const QString& path)
{
    const QRegularExpressionMatch match = recoveryName().match(QFileInfo(path).fileName());
    if (!match.hasMatch() || match.hasCaptured(3) || !makeRecoveryFolder())
        return path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path;
    const WipedBytes bytes(file.readAll());
    file.close();
    const QString stem = RecoveryFolder() + QLatin1Char('/') + QFileInfo(path).completeBaseName();
    const QString target = unusedName(stem, match.captured(2));
    if (!writeInOneStep(target, bytes.bytes()))
        return path;
    // Never two copies of one text: where the old one cannot go, the new
    // one does.
    if (!QFile::remove(path)) {
        QFile::remove(target);
        return path;
    }
    return target;
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
    const bool sealed = HeldCalendarKeys() != nullptr;
    const WipedBytes plain(body.toUtf8());
    const QByteArray bytes = fileBytes(plain.bytes());

    // A file of the other kind (encryption was turned on or off since) is
    // not replaced: a new one takes its place. One in the temporary folder
    // is replaced only when no other folder takes the new text.
    const bool replaceable = !replacing.isEmpty() && IsSealedRecoveryFile(replacing) == sealed;
    const bool stranded = replaceable && isInTemporaryFolder(replacing);
    if (replaceable && !stranded && writeInOneStep(replacing, bytes))
        return replacing;
    const QString recoveryFolder = RecoveryFolder();
    for (const QString& folder : RecoveryFolders()) {
        if (folder == recoveryFolder && !makeRecoveryFolder())
            continue;
        if (stranded && folder == QFileInfo(replacing).absolutePath() &&
            writeInOneStep(replacing, bytes))
            return replacing;
        const QString path =
            unusedName(folder + QStringLiteral("/Entry-%1-%2")
                                    .arg(dayKey)
                                    .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))),
                       sealed ? kSealedEnding : kPlainEnding);
        if (writeInOneStep(path, bytes))
            return path;
    }
    // Nowhere to keep it: the session's log is the last place that may,
    // but not for the text of an encrypted calendar.
    if (sealed)
        std::fprintf(stderr, "zedu: the entry of %s could not be kept in any folder\n",
                     FormatDayKey(dayKey).toUtf8().constData());
    else
        std::fputs(plain.bytes().constData(), stderr);
    std::fflush(stderr);
    return QString();
}

QStringList ListRecoveryFiles()
{
    QStringList found;
    for (const QString& folder : RecoveryFolders()) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("Entry-*")}, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            const QRegularExpressionMatch match = recoveryName().match(file.fileName());
            if (match.hasMatch() && !match.hasCaptured(3) && isMine(file))
                found << file.absoluteFilePath();
        }
    }
    return found;
}

bool IsSealedRecoveryFile(const QString& path)
{
    return path.endsWith(kSealedEnding);
}

RecoveredEntry ReadRecoveryFile(const QString& path)
{
    QByteArray bytes;
    if (IsSealedRecoveryFile(path)) {
        bytes = ReadSealedFile(path);
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw EngineError(path, file.errorString(), EngineError::fileCause(path));
        bytes = file.readAll();
    }
    const WipedBytes plain(std::move(bytes));
    RecoveredEntry entry;
    QString body = QString::fromUtf8(plain.bytes());
    // "日付 yyyy/MM/dd", "時刻 ...", an empty line, the text.
    const qsizetype textStart = body.indexOf(QStringLiteral("\n\n"));
    const QStringList head = body.left(textStart).split(QLatin1Char('\n'));
    for (const QString& line : head) {
        if (line.startsWith(QStringLiteral("日付 ")))
            entry.day = QString(line.mid(3)).remove(QLatin1Char('/')).toInt();
        else if (line.startsWith(QStringLiteral("時刻 ")))
            entry.time = line.mid(3);
    }
    QString text = textStart < 0 ? body : body.mid(textStart + 2);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    entry.text = text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return entry;
}

namespace {

// Writes `path`'s contents, turned by `convert`, under its name with
// `ending`; the old file goes once the new one is on disk, and takes its
// place among the files reported.
QString rewriteRecoveryFile(const QString& path, const QString& ending,
                            const std::function<QByteArray(const QByteArray&)>& convert)
{
    QByteArray bytes;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw EngineError(path, file.errorString(), EngineError::fileCause(path));
        bytes = file.readAll();
    }
    const WipedBytes old(std::move(bytes));
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
    const QString target = unusedName(stem, ending, info.absoluteFilePath());
    if (!writeInOneStep(target, convert(old.bytes())))
        throw EngineError(target, QStringLiteral("the recovery file cannot be written"),
                          EngineError::creationCause(target));
    QFile::remove(path);
    if (reportedFiles().contains(path))
        MarkRecoveryFilesReported({target});
    return target;
}

} // namespace

QString SealRecoveryFile(const QString& path)
{
    if (IsSealedRecoveryFile(path))
        return path;
    const EnvelopeKeys& keys = RequireCalendarKeys(path);
    return rewriteRecoveryFile(
        path, kSealedEnding, [&](const QByteArray& plain) { return Envelope::Seal(keys, plain); });
}

QString UnsealRecoveryFile(const QString& path)
{
    if (!IsSealedRecoveryFile(path))
        return path;
    const WipedBytes plain(ReadSealedFile(path));
    return rewriteRecoveryFile(path, kPlainEnding,
                               [&](const QByteArray&) { return plain.bytes(); });
}

QStringList TakeNewRecoveryFiles()
{
    const QRegularExpression& pattern = recoveryName();
    const QStringList reported = reportedFiles();
    QStringList found;
    QStringList movedReported;
    for (const QString& folder : RecoveryFolders()) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("Entry-*")}, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            const QRegularExpressionMatch match = pattern.match(file.fileName());
            if (!match.hasMatch() || !isMine(file))
                continue;
            QString path = file.absoluteFilePath();
            if (match.hasCaptured(3)) {
                // Never left under a temporary name: it may hold the only
                // copy of what was typed, complete or not.
                const QString stem = folder + QLatin1Char('/') + match.captured(1);
                QString named = stem + match.captured(2);
                for (int n = 2; QFileInfo::exists(named); ++n)
                    named = stem + QStringLiteral("-%1").arg(n) + match.captured(2);
                if (QFile::rename(path, named))
                    path = named;
            }
            const bool wasReported = reported.contains(path);
            if (isInTemporaryFolder(path))
                path = moveToRecoveryFolder(path);
            (wasReported ? movedReported : found) << path;
        }
    }
    setReportedFiles(reported + movedReported + found);
    return found;
}

QStringList MoveRecoveryFilesFromTemporaryFolder(const QStringList& files)
{
    const QStringList reported = reportedFiles();
    QStringList left;
    QStringList moved;
    for (const QString& path : files) {
        if (!QFileInfo::exists(path))
            continue;
        const QString now = moveToRecoveryFolder(path);
        if (now == path)
            left << path;
        else if (reported.contains(path))
            moved << now;
    }
    if (!moved.isEmpty())
        setReportedFiles(reported + moved);
    return left;
}

bool IsInTemporaryFolder(const QString& path)
{
    return isInTemporaryFolder(path);
}

void MarkRecoveryFilesReported(const QStringList& files)
{
    setReportedFiles(reportedFiles() + files);
}

namespace {

// `text`, then the files, one a line, and for sealed ones where they are
// read.
QString withFiles(QString text, const QStringList& files)
{
    for (const QString& file : files)
        text += QLatin1Char('\r') + QDir::toNativeSeparators(file);
    if (std::any_of(files.begin(), files.end(), IsSealedRecoveryFile))
        text += QStringLiteral("\r暗号化したファイルは、「環境」メニューの「暗号化」の"
                               "「回復用ファイルを読む」で読むことができます。");
    if (std::any_of(files.begin(), files.end(), isInTemporaryFolder))
        text += kTemporaryFolderNotice;
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
    if (!mPath.isEmpty() && text == mText) {
        // Kept in the temporary folder for want of another: it goes to the
        // recovery folder as soon as that can be written.
        if (isInTemporaryFolder(mPath))
            mPath = moveToRecoveryFolder(mPath);
        return mPath;
    }
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
