#include "app/Main.h"

#include "app/FirstRun.h"
#include "app/QuitSignals.h"

#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/NativeWindow.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLockFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTranslator>

#include <memory>

namespace {

std::unique_ptr<QLockFile> instanceLock;

bool takeInstanceLock()
{
    if (instanceLock)
        return true;
    const QString path = InstanceLockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: only a lock whose process is gone is taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    instanceLock = std::move(lock);
    return true;
}

} // namespace

void InitApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("voradu"));
    QCoreApplication::setApplicationName(QStringLiteral("zedu"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    static QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);
}

QString InstanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/zedu.lock");
}

void ReleaseInstanceLock()
{
    instanceLock.reset();
}

bool ParseOpenFlag(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double value = t.toDouble(&isNumber);
    if (isNumber)
        return value != 0.0;
    return true;
}

QString ResolveDataPath()
{
    const QString appFolder = GetAppFolder();
    const QString besideProgram = appFolder + QStringLiteral("Data.vad");
    if (FileExists(besideProgram) || FileExists(appFolder + QStringLiteral("New.vad")))
        return besideProgram;
    // An installed copy keeps its calendar with the user's data, even where
    // its program folder could be written (~/.local/bin); so does a program
    // whose folder cannot be written.
    if (!IsInstalledProgram(appFolder) && QFileInfo(appFolder).isWritable())
        return besideProgram;
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(perUser);
    return perUser + QStringLiteral("/Data.vad");
}

void ShowSplash()
{
    frmAbout* splash = AboutBox();
    splash->setWindowTitle(QString());
    splash->cmdClose->setVisible(false);
    splash->show();
    ClearNativeWindowTitle(splash);
    DoEvents();
}

std::optional<int> Main()
{
    // 1. Single instance.
    if (!takeInstanceLock()) {
        ShowWarning(QStringLiteral("Zedu は既に起動しています。二重起動はできません。"));
        return kStartupEnded;
    }

    // 2. Splash: the About box without title and OK button.
    ShowSplash();

    // 3. Folder of the help viewer.
    const QString windowsFolder = GetWindowsFolder();
    if (windowsFolder.isEmpty()) {
        ShowWarning(QStringLiteral("初期設定エラー"));
        UnloadAboutBox();
        return kStartupEnded;
    }
    gWindowsFolder = windowsFolder + QLatin1Char('/');

    // 4. Speed priority.
    gOpenFlag = ParseOpenFlag(RegRead(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("-1")));

    // 5. Calendar file path.
    gDataPath = ResolveDataPath();

    // 6. Day-of-week names.
    gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));

    // 7 and 8. An existing calendar, or a first run.
    if (const std::optional<int> ended = PrepareCalendarFile()) {
        UnloadAboutBox();
        return ended;
    }

    // 9. Close the splash.
    UnloadAboutBox();

    // 10. The main window; from here on the program runs on its events.
    auto* window = new frmMain;
    setMainWindow(window);
    WatchQuitSignals([] {
        if (frmMain* w = MainWindow())
            w->Form_Unload();
        QCoreApplication::quit();
    });
    window->Form_Load();
    window->showRestored();
    return std::nullopt;
}
