#include "platform/HelpFile.h"

#include "platform/basMain.h"

#include <QDir>
#include <QStandardPaths>

QStringList HelpFileCandidates(const QString& appFolder)
{
    const QString folder =
        appFolder.endsWith(QLatin1Char('/')) ? appFolder : appFolder + QLatin1Char('/');
    QStringList candidates;
    candidates << folder + kHelpFile;
    candidates << QDir::cleanPath(folder + QStringLiteral(ZEDU_DATA_FROM_BIN "/zedu/") + kHelpFile);
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString path = QDir::cleanPath(data + QStringLiteral("/zedu/") + kHelpFile);
        if (!candidates.contains(path))
            candidates << path;
    }
    return candidates;
}

bool IsInstalledProgram(const QString& appFolder)
{
    return FileExists(HelpFileCandidates(appFolder).value(1));
}

QString HelpFilePath()
{
    for (const QString& path : HelpFileCandidates(GetAppFolder()))
        if (FileExists(path))
            return path;
    return QString();
}
