#include "store/Backup.h"

#include "platform/Clock.h"
#include "platform/Globals.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

QString backupName(const QDateTime& at)
{
    return QStringLiteral("Data-") + at.toString(kStampFormat) + QStringLiteral(".vad");
}

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

} // namespace

QString BackupFolder()
{
    return QFileInfo(gDataPath).absolutePath() + QStringLiteral("/backup");
}

QStringList ListBackups()
{
    static const QRegularExpression pattern(QStringLiteral("^Data-\\d{8}-\\d{6}\\.vad$"));
    QStringList names = QDir(BackupFolder()).entryList(QDir::Files, QDir::Name);
    names.removeIf([](const QString& name) { return !pattern.match(name).hasMatch(); });
    return names;
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
    const QString folder = BackupFolder();
    makeFolder(folder);
    // Two backups within one second take the following second's name, so
    // that names keep the order in which the copies were made.
    QDateTime at = Clock::Now();
    QString target = folder + QLatin1Char('/') + backupName(at);
    for (int i = 0; QFileInfo::exists(target) && i < 60; ++i) {
        at = at.addSecs(1);
        target = folder + QLatin1Char('/') + backupName(at);
    }
    // The copy is written under a name that is no backup's and takes its
    // own only when it is complete and on disk.
    const QString partial =
        folder + QStringLiteral("/.") + backupName(at) + QStringLiteral(".part");
    try {
        if (!QFile::remove(partial) && QFileInfo::exists(partial))
            throw EngineError(partial, QStringLiteral("a stale copy cannot be removed"),
                              EngineError::creationCause(partial));
        QFile placeholder(partial);
        if (!placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw EngineError(partial, placeholder.errorString(),
                              EngineError::creationCause(partial));
        placeholder.close();
        {
            FileSession session;
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

    const QStringList names = ListBackups();
    for (qsizetype i = 0; i + kBackupsKept < names.size(); ++i)
        QFile::remove(folder + QLatin1Char('/') + names[i]);
    return target;
}
