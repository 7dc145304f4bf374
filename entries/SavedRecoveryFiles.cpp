#include "entries/SavedRecoveryFiles.h"

#include "entries/RecoveryFile.h"
#include "store/Engine.h"
#include "store/clsMaster.h"

#include <QFile>

namespace {

QString lineFeeds(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// True when `stored`, the day's entry, holds all of `kept`. An empty text
// kept means the entry was emptied: only an empty entry holds that.
bool holds(const QString& stored, const QString& kept)
{
    const QString entry = lineFeeds(stored);
    const QString text = lineFeeds(kept);
    return text.isEmpty() ? entry.isEmpty() : entry.contains(text);
}

} // namespace

QStringList DropSavedRecoveryFiles(const QStringList& files)
{
    QStringList left;
    bool readable = true;
    for (const QString& path : files) {
        bool saved = false;
        if (readable) {
            try {
                const RecoveredEntry entry = ReadRecoveryFile(path);
                QString stored;
                try {
                    saved = gMaster.PlanLoad(entry.day, stored) && holds(stored, entry.text);
                } catch (const EngineError&) {
                    // The calendar itself cannot be read now (another program
                    // holds it): no file is looked at any further.
                    readable = false;
                }
            } catch (const EngineError&) {
                // This file cannot be read: it is reported as it is.
            }
        }
        if (!(saved && QFile::remove(path)))
            left << path;
    }
    return left;
}
