#include "platform/RegControl.h"

#include "platform/basMain.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<QSettings> openKey(const QString& keyPath)
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\") + keyPath,
                                       QSettings::NativeFormat);
#else
    QStringList parts = keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() &&
        parts.first().compare(QLatin1String("software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    if (parts.isEmpty())
        parts << QStringLiteral("settings");
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QLatin1Char('/') + parts.join(QLatin1Char('/')) + QStringLiteral(".conf");
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
#endif
}

QString withoutTrailingSeparator(QString folder)
{
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);
    return folder;
}

#ifndef Q_OS_WIN
// The desktop folder as the desktop itself names it (it may be translated,
// "~/デスクトップ"), through xdg-user-dir; ~/Desktop when the tool is missing
// or names no folder. An answer of the home folder itself is what the tool
// gives when no desktop folder is set up.
QString desktopFolder()
{
    const QString home = QDir::homePath();
    const QString fallback = home + QStringLiteral("/Desktop");
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-user-dir"));
    if (tool.isEmpty())
        return fallback;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(tool, {QStringLiteral("DESKTOP")});
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return fallback;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return fallback;
    QString answer = QString::fromLocal8Bit(process.readAllStandardOutput());
    while (answer.endsWith(QLatin1Char('\n')) || answer.endsWith(QLatin1Char('\r')))
        answer.chop(1);
    if (answer.isEmpty() || QDir::isRelativePath(answer) ||
        QDir::cleanPath(answer) == QDir::cleanPath(home))
        return fallback;
    return answer;
}
#endif

QString findFileIn(const QString& folder, const QString& wanted, QSet<QString>& visited)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    // A folder reached twice through links would make the search endless.
    if (canonical.isEmpty() || visited.contains(canonical))
        return QString();
    visited.insert(canonical);

    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (const QString& name : ListFolder(prefix)) {
        const QString path = prefix + name;
        if (QFileInfo(path).isDir()) {
            const QString found = findFileIn(path, wanted, visited);
            if (!found.isEmpty())
                return found;
        } else if (name.compare(wanted, Qt::CaseInsensitive) == 0 && QFileInfo(path).isFile()) {
            // A dangling link of that name is no shortcut to copy.
            return path;
        }
    }
    return QString();
}

} // namespace

QString RegRead(const QString& keyPath, const QString& valueName, const QString& defaultText)
{
    const std::unique_ptr<QSettings> key = openKey(keyPath);
    if (key->status() != QSettings::NoError)
        return defaultText;
    const QVariant value = key->value(valueName);
    if (!value.isValid() || value.typeId() != QMetaType::QString)
        return defaultText;
    return value.toString();
}

bool RegWrite(const QString& keyPath, const QString& valueName, const QString& text)
{
    const std::unique_ptr<QSettings> key = openKey(keyPath);
    if (key->status() != QSettings::NoError || !key->isWritable())
        return false;
    key->setValue(valueName, text);
    key->sync();
    return key->status() == QSettings::NoError;
}

bool RegWriteValues(const QString& keyPath, const QList<QPair<QString, QString>>& values)
{
    const std::unique_ptr<QSettings> key = openKey(keyPath);
    if (key->status() != QSettings::NoError || !key->isWritable())
        return false;
    for (const auto& [name, text] : values)
        key->setValue(name, text);
    key->sync();
    return key->status() == QSettings::NoError;
}

QString RegNumberText(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString ShellFolder(const QString& name)
{
#ifdef Q_OS_WIN
    return withoutTrailingSeparator(RegRead(
        QStringLiteral("software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
        name, QString()));
#else
    QString folder;
    if (name == QLatin1String("Startup")) {
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        if (!config.isEmpty())
            folder = config + QStringLiteral("/autostart");
    } else if (name == QLatin1String("Desktop")) {
        folder = desktopFolder();
    } else if (name == QLatin1String("Programs")) {
        folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    }
    return withoutTrailingSeparator(folder);
#endif
}

QStringList ProgramsFolders()
{
    QStringList folders;
#ifdef Q_OS_WIN
    const QString programs = ShellFolder(QStringLiteral("Programs"));
    if (!programs.isEmpty())
        folders << programs;
#else
    // The user's own folder first, then $XDG_DATA_DIRS in its order
    // (/usr/local/share, /usr/share when unset), as the desktop reads them.
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        const QString clean = withoutTrailingSeparator(folder);
        if (!clean.isEmpty() && !folders.contains(clean))
            folders << clean;
    }
#endif
    return folders;
}

QString FindFile(const QString& folder, const QString& fileName)
{
    if (folder.isEmpty() || fileName.isEmpty())
        return QString();
    QSet<QString> visited;
    return findFileIn(folder, fileName, visited);
}
