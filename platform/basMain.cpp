#include "platform/basMain.h"

#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>
#include <limits>

namespace {
QString appFolderOverride;
int busyCount = 0;
int inputHolds = 0;

QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

QString GetWindowsFolder()
{
#ifdef Q_OS_WIN
    QString folder = qEnvironmentVariable("SystemRoot");
    if (folder.isEmpty())
        folder = qEnvironmentVariable("windir");
    while (folder.endsWith(QLatin1Char('\\')) || folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return QDir::fromNativeSeparators(folder);
#else
    // The help viewer off Windows is the desktop's opener for HTML files.
    const QString viewer = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (viewer.isEmpty())
        return QString();
    return QFileInfo(viewer).absolutePath();
#endif
}

QString GetAppFolder()
{
    if (!appFolderOverride.isEmpty())
        return appFolderOverride;
    return withTrailingSlash(QCoreApplication::applicationDirPath());
}

void setAppFolderForTesting(const QString& folder)
{
    appFolderOverride = folder.isEmpty() ? QString() : withTrailingSlash(folder);
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isFile();
}

bool RemoveFile(const QString& path)
{
    if (!FileExists(path))
        return true;
    return QFile::remove(path);
}

QStringList ListFolder(const QString& folder)
{
    // Sorted, so that a search through the folder tree is the same on every
    // file system; the order the file system returns differs between them.
    QDir dir(folder);
    QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDir::Name | QDir::IgnoreCase);
    DoEvents();
    return names;
}

void ShowWarning(const QString& message)
{
    Dialogs::provider().message(Dialogs::Kind::Warning, kAppTitle, message);
}

int AskYesNo(const QString& message, int defaultButton)
{
    return Dialogs::provider().question(kAppTitle, message, defaultButton) == Dialogs::No
               ? Dialogs::No
               : Dialogs::Yes;
}

void ShowInfo(const QString& message)
{
    Dialogs::provider().message(Dialogs::Kind::Information, kAppTitle, message);
}

std::optional<int> LeadingWholeNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

QString InputBox(const QString& prompt, const QString& title, const QString& initial)
{
    return Dialogs::provider().input(title, prompt, initial).value_or(QString());
}

bool InputYearMonth(int& yearMonth, int lower, int upper, const QString& prompt)
{
    for (;;) {
        const std::optional<QString> answer = Dialogs::provider().input(
            QStringLiteral("年月の入力"), prompt, QString::number(yearMonth));
        if (!answer || answer->isEmpty())
            return false;
        const std::optional<int> value = LeadingWholeNumber(*answer);
        // 202713 lies between 202612 and 203112 as a number, yet names no
        // month.
        const int month = value ? *value % 100 : 0;
        if (value && *value >= lower && *value <= upper && month >= 1 && month <= 12) {
            yearMonth = *value;
            return true;
        }
        ShowWarning(QStringLiteral("入力された年月は間違っています。もう一度入力して下さい。"));
    }
}

int AddMonths(int yearMonth, int months)
{
    const int year = yearMonth / 100;
    const int month = yearMonth - year * 100;
    const int t = month - 1 + months;
    return (year + t / 12) * 100 + t % 12 + 1;
}

int TodayKey()
{
    return DayKey(Clock::Today());
}

void SetBusy(bool on)
{
    const bool haveCursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (on) {
        if (busyCount == 0 && haveCursor)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyCount;
    } else {
        const int before = busyCount;
        busyCount = std::max(0, busyCount - 1);
        if (before > 0 && busyCount == 0 && haveCursor)
            QGuiApplication::restoreOverrideCursor();
    }
    DoEvents();
}

int BusyCount()
{
    return busyCount;
}

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(inputHolds > 0 ? QEventLoop::ExcludeUserInputEvents
                                                       : QEventLoop::AllEvents);
}

void HoldInput(bool on)
{
    inputHolds = on ? inputHolds + 1 : std::max(0, inputHolds - 1);
}

bool InputHeld()
{
    return inputHolds > 0;
}
