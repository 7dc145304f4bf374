#include "store/Backup.h"

#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/CalendarCheck.h"
#include "store/CalendarEncryption.h"
#include "store/DayJournal.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// Owner-only, also for the folder: the backups hold the whole diary.
void makeFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder))
        throw EngineError(folder, QStringLiteral("the backup folder cannot be made"),
                          EngineError::creationCause(folder));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// `stem` + `ending` in `folder`, or with -2, -3 ... after the stem when that
// is taken: names never collide.
QString unusedName(const QString& folder, const QString& stem, const QString& ending)
{
    QString path = folder + QLatin1Char('/') + stem + ending;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + QLatin1Char('/') + stem + QStringLiteral("-%1").arg(n) + ending;
    return path;
}

// A name in the backup folder (made when missing) after the moment it is
// taken, with `ending`.
QString newNameInBackupFolder(const QString& ending)
{
    const QString folder = BackupFolder();
    makeFolder(folder);
    return unusedName(folder, QStringLiteral("Data-") + Clock::Now().toString(kStampFormat),
                      ending);
}

// An empty private file at `path`, which the engine then writes into: a
// copy is the owner's alone from its first byte on.
void makePlaceholder(const QString& path)
{
    if (!QFile::remove(path) && QFileInfo::exists(path))
        throw EngineError(path, QStringLiteral("a stale copy cannot be removed"),
                          EngineError::creationCause(path));
    QFile placeholder(path);
    if (!placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EngineError(path, placeholder.errorString(), EngineError::creationCause(path));
}

// Opens a backup for reading. The one place where a backup file is opened
// (the restore window's summary and the restore itself), so that backups
// kept in another form need one change here, as BackupCalendar is the one
// place where they are written.
void openBackup(Database& db, const QString& path)
{
    db.openForReading(path);
}

// Backups of earlier versions carry no sequence number; a number of fewer
// digits after the time is the -2, -3 ... that kept their names apart.
constexpr int kSequenceDigits = 6;

// A backup found in the folder, with what orders it.
struct Found
{
    QString name;
    // The place in the order of making: 0 for a backup of an earlier version.
    qint64 sequence = 0;
    // The time in the name, as text that sorts like the time.
    QString stamp;
    // -2, -3 ... of an earlier version's name.
    int number = 1;
};

QList<Found> findBackups()
{
    static const QRegularExpression pattern(
        QStringLiteral("^Data-(\\d{8}-\\d{6})(?:-(\\d+))?\\.vad$"));
    const QDir folder(BackupFolder());
    QList<Found> found;
    for (const QString& name : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        Found backup{name, 0, match.captured(1), 1};
        const QString suffix = match.captured(2);
        if (suffix.size() >= kSequenceDigits)
            backup.sequence = suffix.toLongLong();
        else if (!suffix.isEmpty())
            backup.number = suffix.toInt();
        found.append(backup);
    }
    // Numbered backups after all others, whatever their times; those of
    // earlier versions by the time in their names. Neither the file's
    // modification time nor its contents count: a copied, restored or
    // sealed again backup keeps its place.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.sequence, a.stamp, a.number, a.name) <
               std::tie(b.sequence, b.stamp, b.number, b.name);
    });
    return found;
}

// The name of the next backup: the moment it is made, then a number one
// above every backup's in the folder (made when missing).
QString nextBackupPath()
{
    const QString folder = BackupFolder();
    makeFolder(folder);
    qint64 sequence = 0;
    for (const Found& backup : findBackups())
        sequence = std::max(sequence, backup.sequence);
    const QString stem = QStringLiteral("Data-") + Clock::Now().toString(kStampFormat);
    QString path;
    do
        path = folder + QStringLiteral("/%1-%2.vad")
                            .arg(stem)
                            .arg(++sequence, kSequenceDigits, 10, QLatin1Char('0'));
    while (QFileInfo::exists(path));
    return path;
}

// When a backup was made: the time in its name, which copying and sealing
// again keep; a name that holds no real time gives the file's modification
// time.
QDateTime timeInName(const QString& path)
{
    const QDateTime named =
        QDateTime::fromString(QFileInfo(path).fileName().mid(5, 15), kStampFormat);
    return named.isValid() ? named : QFileInfo(path).lastModified();
}

// The calendar file under a second name in the backup folder, for a calendar
// that cannot be copied as a calendar: the same file (a hard link) where the
// file system allows it, a copy of its bytes elsewhere.
QString setCalendarAside()
{
    const QString aside = newNameInBackupFolder(QStringLiteral("-damaged.vad"));
    bool kept = false;
#ifndef Q_OS_WIN
    kept =
        ::link(QFile::encodeName(gDataPath).constData(), QFile::encodeName(aside).constData()) == 0;
#endif
    if (!kept && !QFile::copy(gDataPath, aside))
        throw EngineError(aside, QStringLiteral("the calendar cannot be set aside"),
                          EngineError::creationCause(aside));
    return aside;
}

} // namespace

QString BackupFolder()
{
    return QFileInfo(gDataPath).absolutePath() + QStringLiteral("/backup");
}

QStringList ListBackups()
{
    QStringList names;
    for (const Found& backup : findBackups())
        names << backup.name;
    return names;
}

QStringList CalendarCopies()
{
    QStringList paths;
    const QDir backups(BackupFolder());
    for (const QString& name :
         backups.entryList({QStringLiteral("*.vad")}, QDir::Files, QDir::Name))
        paths << backups.filePath(name);
    const QFileInfo calendar(gDataPath);
    const QDir folder(calendar.absolutePath());
    const QString name = calendar.fileName();
    for (const QString& aside :
         folder.entryList({name + QStringLiteral(".damaged*"), QStringLiteral("New.vad.damaged*"),
                           name + QStringLiteral("-journal.orphan")},
                          QDir::Files | QDir::Hidden, QDir::Name))
        paths << folder.filePath(aside);
    return paths;
}

bool HasBackupOf(const QDate& day)
{
    const QString prefix = QStringLiteral("Data-") + day.toString(QStringLiteral("yyyyMMdd-"));
    const QStringList names = ListBackups();
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return name.startsWith(prefix); });
}

QString BackupCalendar()
{
    const QString target = nextBackupPath();
    const QString folder = BackupFolder();
    // The copy is written under a name that is no backup's and takes its
    // own only when it is complete and on disk.
    const QString partial =
        folder + QStringLiteral("/.") + QFileInfo(target).fileName() + QStringLiteral(".part");
    try {
        makePlaceholder(partial);
        {
            FileSession session;
            // A file that is no calendar would push good backups out.
            CheckCalendar(session.db(), CalendarCheck::Columns);
            session.db().compactInto(partial);
        }
        if (QFileInfo::exists(target) || !ReplaceFile(partial, target))
            throw EngineError(target, QStringLiteral("the backup cannot be given its name"),
                              EngineError::creationCause(target));
    } catch (const EngineError&) {
        QFile::remove(partial);
        throw;
    }
    MakePrivate(target);

    const QString made = QFileInfo(target).fileName();
    QStringList older = ListBackups();
    older.removeOne(made);
    for (qsizetype i = 0; i + kBackupsKept - 1 < older.size(); ++i)
        QFile::remove(folder + QLatin1Char('/') + older[i]);
    return target;
}

void BackupOncePerDay()
{
    if (HasBackupOf(Clock::Today()))
        return;
    try {
        BackupCalendar();
    } catch (const EngineError&) {
    }
}

BackupInfo ReadBackupInfo(const QString& path)
{
    BackupInfo info;
    info.path = path;
    info.made = timeInName(path);
    try {
        Database db;
        openBackup(db, path);
        CheckCalendar(db, CalendarCheck::Columns);
        Query summary(db, QStringLiteral("SELECT coalesce(min(日付), 0), coalesce(max(日付), 0), "
                                         "count(nullif(内容, '')) FROM Master"));
        summary.exec();
        if (summary.next()) {
            info.firstDay = summary.value(0).toInt();
            info.lastDay = summary.value(1).toInt();
            info.entries = summary.value(2).toInt();
            info.readable = true;
        }
    } catch (const EngineError&) {
        info.firstDay = info.lastDay = info.entries = 0;
    }
    return info;
}

QList<BackupInfo> ReadBackupInfos()
{
    QList<BackupInfo> infos;
    const QStringList names = ListBackups();
    for (auto name = names.crbegin(); name != names.crend(); ++name)
        infos << ReadBackupInfo(BackupFolder() + QLatin1Char('/') + *name);
    return infos;
}

std::optional<BackupInfo> LastReadableBackup()
{
    const QStringList names = ListBackups();
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const BackupInfo info = ReadBackupInfo(BackupFolder() + QLatin1Char('/') + *name);
        if (info.readable)
            return info;
    }
    return std::nullopt;
}

QString RestoreBackup(const QString& path)
{
    // The chosen copy is read through the engine into a private file beside
    // the calendar and checked there, before anything else changes: the
    // backup made next may remove the chosen one.
    const QString staging = QFileInfo(gDataPath).absolutePath() + QStringLiteral("/Restore.vad");
    try {
        makePlaceholder(staging);
        {
            Database source;
            openBackup(source, path);
            CheckCalendar(source, CalendarCheck::Columns);
            if (const EnvelopeKeys* keys = HeldCalendarKeys(); keys && !source.isEncrypted()) {
                // A backup from before the calendar was encrypted goes back
                // in encrypted, so that restoring it does not turn the
                // encryption off; it is sealed in memory, as no plain copy
                // of the diary may lie beside an encrypted calendar, not
                // even for a moment (nor its journal).
                const WipedBytes image(ImageOf(source));
                WriteEnvelopeFile(staging, *keys, image.data(), image.size());
            } else {
                source.compactInto(staging);
            }
        }
        Database copy;
        copy.open(staging);
        CheckCalendar(copy, CalendarCheck::Full);
    } catch (const EngineError&) {
        QFile::remove(staging);
        throw;
    }

    QString kept;
    bool damaged = false;
    try {
        try {
            kept = BackupCalendar();
        } catch (const EngineError& e) {
            if (!e.isNoCalendar())
                throw;
            kept = setCalendarAside();
            damaged = true;
        }
    } catch (const EngineError&) {
        QFile::remove(staging);
        throw;
    }
    gDatabase.close();
    // SQLite plays a journal back into whatever file carries the name beside
    // it: one left by the file being replaced goes with that file, or, when
    // the file was kept as a compacted copy, aside where nothing reads it.
    const QString journal = gDataPath + QStringLiteral("-journal");
    if (FileExists(journal)) {
        const QString journalAside =
            damaged ? kept + QStringLiteral("-journal") : journal + QStringLiteral(".orphan");
        RemoveFile(journalAside);
        QFile::rename(journal, journalAside);
    }
    if (!ReplaceFile(staging, gDataPath)) {
        QFile::remove(staging);
        throw EngineError(gDataPath, QStringLiteral("the backup cannot be put in place"),
                          EngineError::creationCause(gDataPath));
    }
    MakePrivate(gDataPath);
    // The user chose this calendar: what this run wrote before is in the
    // backup just made, and is not to be written into the restored one.
    DayJournal::instance().clear();
    CalendarFileReplaced();
    return kept;
}

QString MoveIntoBackupFolder(const QString& path)
{
    const QString folder = BackupFolder();
    makeFolder(folder);
    const QFileInfo copy(path);
    const QString ending = copy.suffix().isEmpty() ? QString() : QLatin1Char('.') + copy.suffix();
    const QString stem = copy.fileName().chopped(ending.size());
    const QString target = unusedName(folder, stem, ending);
    if (!QFile::rename(path, target)) {
        // Gone meanwhile: the sync program took it away, as the other
        // computer took it in too and put its own away. Nothing is lost.
        if (!QFileInfo::exists(path))
            return QString();
        throw EngineError(target, QStringLiteral("the copy cannot be moved into the backup folder"),
                          EngineError::creationCause(target));
    }
    MakePrivate(target);
    return target;
}

QString SetDamagedCalendarAside()
{
    gDatabase.close();
    // The calendar that comes in its place is a new one.
    ForgetCalendarFile();
    DayJournal::instance().clear();
    const QString aside = newNameInBackupFolder(QStringLiteral("-damaged.vad"));
    if (!QFile::rename(gDataPath, aside))
        throw EngineError(aside, QStringLiteral("the calendar cannot be set aside"),
                          EngineError::creationCause(aside));
    MakePrivate(aside);
    // The journal belongs to the file it was written for; left behind it
    // would be played back into the new calendar.
    const QString journal = gDataPath + QStringLiteral("-journal");
    if (FileExists(journal))
        QFile::rename(journal, aside + QStringLiteral("-journal"));
    return aside;
}
