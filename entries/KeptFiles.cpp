#include "entries/KeptFiles.h"

#include "entries/RecoveryFile.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/Engine.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

bool isRecoveryFile(const QString& path)
{
    return QFileInfo(path).fileName().startsWith(QLatin1String("Entry-"));
}

// Runs `work` on every file, which gives back the file's path afterwards
// ("" when it is gone); a failure is noted and the next file goes on. A file
// written anew keeps the modification time it had: it still holds what it
// held then, and a backup whose name holds no real time is listed by it.
KeptFilesOutcome eachFile(const QStringList& paths,
                          const std::function<QString(const QString&)>& work)
{
    KeptFilesOutcome outcome;
    for (const QString& path : paths) {
        try {
            const QDateTime modified = QFileInfo(path).lastModified();
            QFile written(work(path));
            if (modified.isValid() && !written.fileName().isEmpty() &&
                written.open(QIODevice::ReadOnly | QIODevice::ExistingOnly))
                written.setFileTime(modified, QFileDevice::FileModificationTime);
        } catch (const EngineError& e) {
            outcome.failed << QDir::toNativeSeparators(path) +
                                  QStringLiteral("（%1）").arg(e.causeText());
        }
    }
    return outcome;
}

} // namespace

KeptFiles FindKeptFiles()
{
    KeptFiles found;
    for (const QString& path : CalendarCopies() + ListRecoveryFiles())
        (IsEncryptedFile(path) ? found.sealed : found.plain) << path;
    return found;
}

KeptFilesOutcome SealKeptFiles(const QStringList& paths)
{
    return eachFile(paths, [](const QString& path) {
        if (isRecoveryFile(path))
            return SealRecoveryFile(path);
        SealFileInPlace(path);
        return path;
    });
}

KeptFilesOutcome UnsealKeptFiles(const QStringList& paths)
{
    return eachFile(paths, [](const QString& path) {
        if (isRecoveryFile(path))
            return UnsealRecoveryFile(path);
        UnsealFileInPlace(path);
        return path;
    });
}

KeptFilesOutcome ResealKeptFiles(const QStringList& paths, const EnvelopeKeys& keys,
                                 const EnvelopeKeys* from)
{
    return eachFile(paths, [&](const QString& path) {
        ResealFile(path, keys, from);
        return path;
    });
}

KeptFilesOutcome DeleteKeptFiles(const QStringList& paths)
{
    return eachFile(paths, [](const QString& path) {
        if (!QFile::remove(path) && QFile::exists(path))
            throw EngineError(path, QStringLiteral("the file cannot be deleted"),
                              EngineError::fileCause(path));
        return QString();
    });
}
