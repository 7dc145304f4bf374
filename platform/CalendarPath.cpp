#include "platform/CalendarPath.h"

#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString RememberedCalendarPath()
{
    const QString path = RegRead(kRegKey, kCalendarPathValue, QString()).trimmed();
    return path.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(path));
}

bool RememberCalendarPath(const QString& path)
{
    return RegWrite(kRegKey, kCalendarPathValue,
                    QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

bool CalendarIsThere(const QString& path)
{
    return FileExists(path) ||
           FileExists(QFileInfo(path).absolutePath() + QStringLiteral("/New.vad"));
}

QString DefaultCalendarPath()
{
    const QString appFolder = GetAppFolder();
    const QString besideProgram = appFolder + QStringLiteral("Data.vad");
    if (CalendarIsThere(besideProgram))
        return besideProgram;
    // An installed copy keeps its calendar with the user's data, even where
    // its program folder could be written (~/.local/bin); so does a program
    // whose folder cannot be written.
    if (!IsInstalledProgram(appFolder) && QFileInfo(appFolder).isWritable())
        return besideProgram;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Data.vad");
}

QString UsualCalendarPath()
{
    const QString remembered = RememberedCalendarPath();
    return remembered.isEmpty() ? DefaultCalendarPath() : remembered;
}

QString WholePath(const QString& path)
{
    const QString found = QFileInfo(path).canonicalFilePath();
    return found.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : found;
}
