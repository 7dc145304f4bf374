#include "entries/KeptFiles.h"

#include "entries/RecoveryFile.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/Engine.h"

#include <QDir>
#include <QFile>

#include <functional>

namespace {

bool isRecoveryFile(const QString& path)
{
    return QFileInfo(path).fileName().startsWith(QLatin1String("Entry-"));
}

// Runs `work` on every file; a failure is noted and the next file goes on.
KeptFilesOutcome eachFile(const QStringList& paths, const std::function<void(const QString&)>& work)
{
    KeptFilesOutcome outcome;
    for (const QString& path : paths) {
        try {
            work(path);
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
            SealRecoveryFile(path);
        else
            SealFileInPlace(path);
    });
}

KeptFilesOutcome UnsealKeptFiles(const QStringList& paths)
{
    return eachFile(paths, [](const QString& path) {
        if (isRecoveryFile(path))
            UnsealRecoveryFile(path);
        else
            UnsealFileInPlace(path);
    });
}

KeptFilesOutcome ResealKeptFiles(const QStringList& paths, const EnvelopeKeys& keys)
{
    return eachFile(paths, [&](const QString& path) { ResealFile(path, keys); });
}

KeptFilesOutcome DeleteKeptFiles(const QStringList& paths)
{
    return eachFile(paths, [](const QString& path) {
        if (!QFile::remove(path) && QFile::exists(path))
            throw EngineError(path, QStringLiteral("the file cannot be deleted"),
                              EngineError::fileCause(path));
    });
}
