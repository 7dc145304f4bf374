// What keeps the user's work when things go wrong: the entry saved quietly
// while typing (after a pause, and every few seconds while the typing goes
// on) and tried again while it cannot be written, the recovery file
// for an entry that cannot be written, the calendar kept on the day whose
// entry is in the box, and the backup of the calendar before a command that
// cannot be undone.

#include "entries/RecoveryFile.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "ui/RetryTimer.h"
#include "ui/frmMain.h"
#include "view/clsCalendar.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// While the entry cannot be written, its recovery file follows the typing
// within two seconds.
constexpr int kUnsavedDelayMs = 1500;
// How soon a notice that waits for a box or a busy phase looks again.
constexpr int kNoticeRetryMs = 500;

} // namespace

void frmMain::startQuietSave()
{
    if (!mQuietSave) {
        mQuietSave = new QTimer(this);
        mQuietSave->setSingleShot(true);
        connect(mQuietSave, &QTimer::timeout, this, &frmMain::quietSave);
        // Not put off by the keys that follow the first unsaved one, and
        // not late: what it promises is counted in seconds since that key.
        mTypingSave = new QTimer(this);
        mTypingSave->setSingleShot(true);
        mTypingSave->setTimerType(Qt::PreciseTimer);
        connect(mTypingSave, &QTimer::timeout, this, &frmMain::quietSave);
    }
    mQuietSave->setInterval(mPlan && mPlan->IsUnsaved()
                                ? std::min(mQuietSaveDelayMs, kUnsavedDelayMs)
                                : mQuietSaveDelayMs);
    mQuietSave->start();
    if (!mTypingSave->isActive())
        mTypingSave->start(mTypingSaveLimitMs);
}

void frmMain::quietSave()
{
    if (!mPlan || !mPlan->Dirty || !mLoaded || mUnloaded)
        return;
    // Not in the middle of something: a command's busy phase or store
    // operation (whose message pumping runs timers), or a box waiting for
    // the user. Tried again later; an entry that could not be written is
    // kept on disk meanwhile.
    if (isBusy() || FileSession::depth() > 0 || QApplication::activeModalWidget()) {
        if (mPlan->IsUnsaved())
            mPlan->KeepUnsaved();
        startQuietSave();
        return;
    }
    try {
        // A locked calendar is not waited for: this is tried again anyway.
        const QuickAttempt quick;
        mPlan->SaveWhileTyping();
    } catch (const std::exception&) {
        // Quietly: the editor keeps the text in its recovery file, and the
        // attempts go on (entryStateChanged).
    }
}

RetryTimer* frmMain::retryTimer()
{
    if (!mRetry) {
        mRetry = new RetryTimer(this);
        connect(mRetry, &RetryTimer::attempt, this, &frmMain::retry);
        connect(mRetry, &RetryTimer::folderChanged, this, &frmMain::calendarFolderChanged);
    }
    return mRetry;
}

void frmMain::retry()
{
    if (mUnloaded) {
        mRetry->stop();
        return;
    }
    if (mWaitingForFile) {
        showFirstMonth();
        return;
    }
    if (!mPlan || !mPlan->IsUnsaved()) {
        mRetry->stop();
        return;
    }
    quietSave();
}

void frmMain::entryStateChanged()
{
    // Saved or loaded: the next change starts the count again.
    if (!mPlan->Dirty && mTypingSave)
        mTypingSave->stop();
    if (mPlan->IsUnsaved() && !mUnloaded)
        retryTimer()->start();
    else if (mRetry && !mWaitingForFile)
        mRetry->stop();
    showIdleMessage();
    if (mPlan->HasConflictFiles())
        QTimer::singleShot(0, this, &frmMain::showConflictNotices);
}

void frmMain::showConflictNotices()
{
    // Once the program ends, the next start names the files.
    if (!mPlan || mUnloaded)
        return;
    if (isBusy() || FileSession::depth() > 0 || QApplication::activeModalWidget()) {
        QTimer::singleShot(kNoticeRetryMs, this, &frmMain::showConflictNotices);
        return;
    }
    const QStringList files = mPlan->TakeConflictFiles();
    if (files.isEmpty())
        return;
    MarkRecoveryFilesReported(files);
    ShowInfo(ConflictNoticeText(files));
}

void frmMain::moveStrandedRecoveryFiles()
{
    // Listed once: the file of an entry this run cannot write follows its
    // own way out (PendingRecovery).
    auto stranded = std::make_shared<QStringList>();
    for (const QString& path : ListRecoveryFiles())
        if (IsInTemporaryFolder(path))
            *stranded << path;
    if (stranded->isEmpty())
        return;
    auto* attempts = new QTimer(this);
    connect(attempts, &QTimer::timeout, this, [stranded, attempts] {
        *stranded = MoveRecoveryFilesFromTemporaryFolder(*stranded);
        if (stranded->isEmpty())
            attempts->deleteLater();
    });
    attempts->start(RetryTimer::interval());
}

void frmMain::afterCommand()
{
    mSaveFailed = false;
    showIdleMessage();
    if (!mPlan || !mCalendar || mReturning || mUnloaded)
        return;
    // The box holds one day's entry, typed text included; whatever is typed
    // next belongs to the day the calendar shows. A move whose save failed
    // (or whose month could not be read) is taken back, after its warning.
    const int entryDay = mPlan->DateIndex();
    if (entryDay == 0 || entryDay == mCalendar->CurDate())
        return;
    mReturning = true;
    // Part by part: a month that cannot be read again (the file locked
    // throughout) still leaves the date the entry's, and the grid shows the
    // month whose reading failed to replace it.
    const int parts[3] = {entryDay / 10000, entryDay / 100 % 100, entryDay % 100};
    void (clsCalendar::*setters[3])(int) = {&clsCalendar::setCurYear, &clsCalendar::setCurMonth,
                                            &clsCalendar::setCurDay};
    for (int i = 0; i < 3; ++i) {
        try {
            (mCalendar.get()->*setters[i])(parts[i]);
        } catch (const std::exception&) {
        }
    }
    // A month drawn again keeps the grid's cell, which may show another day.
    mCalendar->MoveCursor();
    mReturning = false;
}

void frmMain::keepUnsavedEntry()
{
    if (!mPlan || !mPlan->Dirty)
        return;
    mPlan->CommitComposition();
    // The session's end and the quit that follows it may both come here
    // with the same entry: its one recovery file is written once.
    mPlan->KeepUnsaved();
}

void frmMain::unloadAtExit()
{
    if (mUnloaded || !mLoaded)
        return;
    mUnloaded = true;
    if (mQuietSave) {
        mQuietSave->stop();
        mTypingSave->stop();
    }
    if (mPlan) {
        try {
            mPlan->SaveQuietly();
        } catch (const std::exception&) {
            keepUnsavedEntry();
        }
    }
    SavePlacement();
    gDatabase.close();
}

bool frmMain::BackupBeforeChange()
{
    // What was typed belongs in the copy kept from before the command.
    try {
        plan()->Save();
    } catch (const EngineError&) {
        // The text stays in the box and in its recovery file; the copy is
        // no less worth making.
    }
    QString problem;
    try {
        RunningScope busy(this, QStringLiteral("暦ファイルのバックアップを作成しています。"));
        BackupCalendar();
        return true;
    } catch (const EngineError& e) {
        problem = e.userText(false);
    }
    const QString question = QStringLiteral("暦ファイルのバックアップを作成できませんでした。\r") +
                             problem + QStringLiteral("\rバックアップなしで実行しますか？");
    return AskYesNo(question, Dialogs::No) == Dialogs::Yes;
}
