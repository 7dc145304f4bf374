#include "platform/HelpFile.h"

#include "platform/basMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
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

void StartHelpViewer(const QString& viewer, const QStringList& arguments, QObject* context,
                     const std::function<void()>& failed)
{
    // Kept by the application, not by the window: it may end after the
    // window closed. Ending with the program ends the opener only, never a
    // browser it started.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::finished, context,
                     [failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             failed();
                     });
    process->start(viewer, arguments);
    // Whether it started at all is known as soon as it was executed.
    if (!process->waitForStarted()) {
        delete process;
        failed();
    }
}
