// The File menu's 暦ファイルの場所: the calendar moved into another folder
// (copied with its backups, the copy checked, the place remembered, and only
// then the old files removed), or another calendar opened in its place; and
// the mark beside the calendar that tells other computers it is open here.

#include "entries/clsPlan.h"
#include "platform/CalendarPath.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/InUseMarker.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/CalendarMove.h"
#include "store/EncryptedImage.h"
#include "store/Engine.h"
#include "store/FileSession.h"
#include "ui/RetryTimer.h"
#include "ui/frmCalendarPlace.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Why the folder chosen cannot take the calendar.
QString refusalText(const MoveTarget& target)
{
    switch (target.verdict) {
    case MoveTarget::NotAFolder:
        return QStringLiteral("選んだフォルダーが見つかりません。\r") + shown(target.found);
    case MoveTarget::SameFolder:
        return QStringLiteral("今の暦ファイルと同じフォルダーです。別のフォルダーを選んで下さい。");
    case MoveTarget::InsideBackups:
        return QStringLiteral(
            "バックアップのフォルダーには移せません。別のフォルダーを選んで下さい。");
    case MoveTarget::HoldsRemains:
        return QStringLiteral("選んだフォルダーには、別の暦ファイルの書きかけのファイルがあります。"
                              "別のフォルダーを選んで下さい。\r") +
               shown(target.found);
    case MoveTarget::BackupTaken:
        return QStringLiteral("選んだフォルダーの backup フォルダーに、同じ名前で中身の違うファイル"
                              "があります。別のフォルダーを選んで下さい。\r") +
               shown(target.found);
    case MoveTarget::Fit:
    case MoveTarget::HoldsCalendar:
        break;
    }
    return QString();
}

} // namespace

void frmMain::mnuCalendarPlace_Click()
{
    guarded([this] {
        frmCalendarPlace place(gDataPath, UsualCalendarPath(), HeldCalendarKeys() != nullptr, this);
        const int choice = place.exec();
        if (choice == frmCalendarPlace::Move)
            moveCalendar();
        else if (choice == frmCalendarPlace::Open)
            openCalendar();
    });
}

void frmMain::moveCalendar()
{
    const std::optional<QString> folder = Dialogs::provider().folder(
        QStringLiteral("暦ファイルを移すフォルダー"), QFileInfo(gDataPath).absolutePath());
    if (!folder)
        return;
    const MoveTarget target = CheckMoveTarget(*folder);
    if (target.verdict == MoveTarget::HoldsCalendar) {
        // Most likely the calendar another computer put there.
        if (AskYesNo(QStringLiteral("選んだフォルダーには、既に暦ファイルがあります。\r") +
                         shown(target.found) +
                         QStringLiteral("\r今の暦ファイルをそこへ移すことはできません。そのフォル"
                                        "ダーの暦ファイルを開きますか？"),
                     Dialogs::No) == Dialogs::Yes)
            switchCalendar(target.found);
        return;
    }
    if (target.verdict != MoveTarget::Fit) {
        ShowWarning(refusalText(target));
        return;
    }
    if (AskYesNo(QStringLiteral("暦ファイルとバックアップを、次のフォルダーへ移します。\r") +
                 shown(QFileInfo(*folder).absoluteFilePath()) +
                 QStringLiteral("\r移して良いですか？")) == Dialogs::No)
        return;

    // What was typed goes with the calendar: an entry that cannot be
    // written ends the command here, with its warning, before anything moves.
    plan()->Save();
    CalendarCopy copy;
    try {
        RunningScope busy(this, QStringLiteral("暦ファイルを移しています。"));
        copy = CopyCalendarTo(*folder);
    } catch (const EngineError& e) {
        ShowWarning(QStringLiteral("暦ファイルを移すことができませんでした。元の場所の暦ファイルと"
                                   "バックアップは、そのままです。\r") +
                    e.userText());
        return;
    }
    // The place is remembered before anything is removed: a start must
    // never look for the calendar where it no longer is.
    if (!RememberCalendarPath(copy.to)) {
        DiscardCalendarCopy(copy);
        ShowWarning(QStringLiteral("設定変更に失敗しました。暦ファイルは移していません。"));
        return;
    }
    useMovedCalendar(copy.to);
    const QStringList left = RemoveCopiedCalendar(copy);
    QString done = QStringLiteral("暦ファイルを移しました。\r") + shown(copy.to);
    if (!left.isEmpty()) {
        done += QStringLiteral("\r次のものは消せなかったので、元の場所に残っています。");
        for (const QString& path : left)
            done += QLatin1Char('\r') + shown(path);
    }
    ShowInfo(done);
    // Copies that another computer left in the new folder, as at a start.
    TakeInConflictCopies();
}

void frmMain::useMovedCalendar(const QString& path)
{
    // The same days under another name: the window goes on as it is, and
    // what follows the calendar's place follows it there. The shared
    // handle was closed for the copy; the next operation opens the new
    // file, as the calendar's own (not one that a sync program put in its
    // place), with this run's journal kept for it.
    stopInUseMarker();
    gDataPath = path;
    CalendarFileMoved();
    startInUseMarker();
    // The folder watched for copies and replacements, and the attempts at
    // work that failed, move to the new folder; the old one is let go
    // before its files are removed.
    RetryTimer* timer = retryTimer();
    const bool retrying = timer->isActive();
    timer->stop();
    timer->watchFolder();
    if (retrying)
        timer->start();
}

void frmMain::openCalendar()
{
    const std::optional<QString> folder = Dialogs::provider().folder(
        QStringLiteral("開く暦ファイルのあるフォルダー"), QFileInfo(gDataPath).absolutePath());
    if (!folder)
        return;
    const QString path = QDir(*folder).absoluteFilePath(QStringLiteral("Data.vad"));
    if (!QFileInfo(path).isFile()) {
        ShowWarning(QStringLiteral("選んだフォルダーには、暦ファイル（Data.vad）がありません。\r") +
                    shown(QFileInfo(*folder).absoluteFilePath()));
        return;
    }
    if (WholePath(path) == WholePath(gDataPath)) {
        ShowInfo(QStringLiteral("今開いている暦ファイルです。\r") + shown(path));
        return;
    }
    switchCalendar(path);
}

void frmMain::switchCalendar(const QString& path)
{
    try {
        plan()->Save();
    } catch (const EngineError& e) {
        // As when the window closes: the text is not dropped silently, and
        // goes on in a recovery file when the user leaves it.
        if (AskYesNo(StoreErrorText(e) +
                         QStringLiteral("\r入力した予定は保存されていません。別の暦を開きますか？"),
                     Dialogs::No) == Dialogs::No)
            return;
        keepUnsavedEntry();
        mPlan->Dirty = false;
    }
    emit calendarChosen(QFileInfo(path).absoluteFilePath());
}

void frmMain::startInUseMarker()
{
    if (mInUse && mInUse->isActive())
        return;
    delete mInUse;
    mInUse = new InUseMarker(gDataPath, QSysInfo::machineHostName(), this);
    mInUse->start();
}

void frmMain::stopInUseMarker()
{
    if (mInUse)
        mInUse->stop();
}
