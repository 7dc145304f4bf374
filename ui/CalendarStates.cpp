// The main window while it has no day to edit: today's month shown when the
// window loads, and waited for while another program holds the calendar
// locked; the message panel's text between busy phases, which says why.

#include "entries/clsPlan.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "ui/RetryTimer.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <optional>

namespace {

const QString kWaitingForFile = QStringLiteral("暦ファイルの解放を待っています。");
const QString kUnsaved = QStringLiteral("未保存");
const QString kOutOfRange = QStringLiteral("登録暦範囲外です。ﾌｧｲﾙ→登録暦範囲で変更できます。");

} // namespace

void frmMain::showFirstMonth()
{
    const bool waited = mWaitingForFile;
    // An attempt of the wait is put off while a box or a command is open.
    if (waited && (isBusy() || QApplication::activeModalWidget()))
        return;
    std::optional<EngineError> failure;
    guarded([&] {
        try {
            // Waiting, the file is tried without waiting on it in turn.
            std::optional<QuickAttempt> quick;
            if (waited)
                quick.emplace();
            if (gOpenFlag)
                gDatabase.open(gDataPath);
            // Nothing moves until the file can be read: a day's entry that
            // could not be loaded would say so at every attempt.
            if (waited)
                gMaster.DateTop();
            // Today's month is drawn and today's entry loaded through the
            // Change event, both reading the file opened above.
            mCalendar->setCurDate(TodayKey());
            if (waited) {
                // An attempt cut short may have set the month already,
                // which then is not drawn by setting it.
                mCalendar->Refresh();
                mCalendar->MoveCursor();
            }
        } catch (const EngineError& e) {
            failure = e;
        }
    });
    const bool inUse = failure && failure->cause() == EngineError::Cause::InUse;
    if (failure && !(waited && inUse))
        ShowWarning(StoreErrorText(*failure));
    waitForFile(inUse);
    if (waited && !failure) {
        // The start-up could not keep its copy of the day while the file was
        // held.
        BackupOncePerDay();
        if (txtToday->isVisible())
            txtToday->setFocus(Qt::OtherFocusReason);
    }
}

void frmMain::waitForFile(bool waiting)
{
    mWaitingForFile = waiting;
    if (waiting)
        retryTimer()->start();
    else if (mRetry && !(mPlan && mPlan->IsUnsaved()))
        mRetry->stop();
    showIdleMessage();
}

QString frmMain::idleMessage() const
{
    if (mWaitingForFile)
        return kWaitingForFile;
    if (mPlan && mPlan->IsUnsaved())
        return kUnsaved;
    // The month grid is hidden exactly when the month shown has no stored
    // day.
    if (mLoaded && mnuDispMode[0]->isChecked() && greDate->isHidden())
        return kOutOfRange;
    return mSyncMessage;
}

void frmMain::showIdleMessage()
{
    // A busy phase's text stays until the phase ends; a command's hold
    // shows none of its own.
    if (std::any_of(mPhases.cbegin(), mPhases.cend(),
                    [](const QString& text) { return !text.isEmpty(); }))
        return;
    setPanelText(idleMessage());
}
