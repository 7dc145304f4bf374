#include "app/Main.h"

#include "app/DamagedCalendar.h"
#include "app/FirstRun.h"
#include "app/QuitSignals.h"

#include "entries/RecoveryFile.h"
#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/NativeWindow.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/Engine.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include "Version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLockFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTranslator>

#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace {

std::unique_ptr<QLockFile> instanceLock;

// Whether a lock file that QLockFile would not take over belongs to an
// instance that runs now: one of this user's processes on this machine. An
// empty, unreadable or garbled file, one written on another machine (a home
// folder shared over the network) or by another user's process is no sign
// of a running instance.
bool heldByRunningInstance(const QLockFile& lock)
{
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app) || pid <= 0)
        return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return false;
#ifdef Q_OS_UNIX
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QFileInfo process(QStringLiteral("/proc/%1").arg(pid));
    if (process.exists() && process.ownerId() != ::geteuid())
        return false;
#endif
    return true;
}

bool takeInstanceLock()
{
    if (instanceLock)
        return true;
    const QString path = InstanceLockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // Never stale by age: only a lock whose process is gone is taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError && heldByRunningInstance(*lock))
            return false;
        if (!lock->removeStaleLockFile() || !lock->tryLock(0))
            return false;
    }
    instanceLock = std::move(lock);
    return true;
}

} // namespace

void InitApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("voradu"));
    QCoreApplication::setApplicationName(QStringLiteral("zedu"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEDU_VERSION_TEXT));

    static QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);
}

QString InstanceLockPath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty())
        return folder + QStringLiteral("/zedu.lock");
#ifdef Q_OS_UNIX
    // The shared temporary folder: each user has a lock of their own, which
    // no other user's file can stand in the way of.
    return QDir::tempPath() + QStringLiteral("/zedu-%1.lock").arg(::geteuid());
#else
    return QDir::tempPath() + QStringLiteral("/zedu.lock");
#endif
}

void ReleaseInstanceLock()
{
    instanceLock.reset();
}

void WarnIfReadOnly(const QString& path)
{
    // Writing needs the file and its folder, where the journal is made.
    // Root may write anything but a read-only mount, and is told only then.
    // A file that cannot even be read is reported by the first read.
    const QFileInfo file(path);
    if (!file.exists() || !file.isReadable() ||
        (file.isWritable() && QFileInfo(file.absolutePath()).isWritable()))
        return;
    ShowWarning(
        QStringLiteral("暦ファイルに書き込むことができません。入力した予定や変更は保存されま"
                       "せん。\r") +
        QDir::toNativeSeparators(file.absoluteFilePath()));
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

QString LocateDataPath()
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
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Data.vad");
}

QString ResolveDataPath()
{
    const QString path = LocateDataPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
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

std::optional<int> Main(const QString& calendar)
{
    // One running copy per user: a second start only says so.
    if (!takeInstanceLock()) {
        ShowWarning(QStringLiteral("Zedu は既に起動しています。二重起動はできません。"));
        return kStartupEnded;
    }

    // The splash while start-up works: the About box without title and OK
    // button.
    ShowSplash();

    // The help viewer's folder; a system without one cannot run the program.
    const QString windowsFolder = GetWindowsFolder();
    if (windowsFolder.isEmpty()) {
        ShowWarning(QStringLiteral("初期設定エラー"));
        UnloadAboutBox();
        return kStartupEnded;
    }
    gWindowsFolder = windowsFolder + QLatin1Char('/');

    // Speed priority (the calendar open from load to exit) unless the
    // settings switch it off.
    gOpenFlag = ParseOpenFlag(RegRead(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("-1")));

    if (calendar.isEmpty()) {
        gDataPath = ResolveDataPath();
    } else {
        // A calendar named for this run is only opened, never made.
        gDataPath = QFileInfo(calendar).absoluteFilePath();
        if (!QFileInfo(gDataPath).isFile()) {
            ShowWarning(QStringLiteral("暦ファイルが見つかりません。\r") +
                        QDir::toNativeSeparators(gDataPath));
            UnloadAboutBox();
            return kStartupEnded;
        }
    }

    // Day-of-week names, Sunday first, as the grids and questions show them.
    gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));

    // An existing calendar is checked and opened; without one, the first
    // run asks and makes it.
    if (const std::optional<int> ended = PrepareCalendarFile()) {
        UnloadAboutBox();
        return ended;
    }

    // A calendar that cannot be opened as one is offered its newest backup,
    // or ends the program, instead of an empty window.
    bool locked = false;
    if (const std::optional<int> ended = OfferRestoreIfDamaged(locked)) {
        UnloadAboutBox();
        return ended;
    }

    // The first start of a day keeps a copy of the calendar as it was. A
    // copy that cannot be made now is no reason to keep the user waiting:
    // the commands that change much ask about theirs. A locked calendar is
    // copied once the window has waited for it.
    if (!locked)
        BackupOncePerDay();

    UnloadAboutBox();

    // The main window; from here on the program runs on its events.
    auto* window = new frmMain;
    setMainWindow(window);
    WatchQuitSignals([] {
        if (frmMain* w = MainWindow())
            w->Form_Unload();
        QCoreApplication::quit();
    });
    window->Form_Load();
    window->showRestored();
    // Losing the display ends the process inside exit(): the entry is saved
    // (or kept in a recovery file) there, while the store still works.
    SetEngineExitHook([] {
        if (QCoreApplication::instance())
            if (frmMain* w = MainWindow())
                w->unloadAtExit();
    });

    WarnIfReadOnly(gDataPath);
    const QStringList recovered = TakeNewRecoveryFiles();
    if (!recovered.isEmpty())
        ShowInfo(RecoveryNoticeText(recovered));
    window->moveStrandedRecoveryFiles();
    // What another computer wrote and a sync program kept beside the
    // calendar under a conflict name; the folder is watched from here on.
    window->TakeInConflictCopies();
    return std::nullopt;
}
