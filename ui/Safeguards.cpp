// What keeps the user's work when things go wrong: the entry saved quietly
// while typing, the recovery file for an entry that cannot be written when
// the program must end without asking, and the backup of the calendar before
// a command that cannot be undone.

#include "entries/RecoveryFile.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include <utility>

void frmMain::startQuietSave()
{
    if (!mQuietSave) {
        mQuietSave = new QTimer(this);
        mQuietSave->setSingleShot(true);
        mQuietSave->setInterval(mQuietSaveDelayMs);
        connect(mQuietSave, &QTimer::timeout, this, &frmMain::quietSave);
    }
    mQuietSave->start();
}

void frmMain::quietSave()
{
    if (!mPlan || !mPlan->Dirty || !mLoaded || mUnloaded)
        return;
    // Not in the middle of something: a command's busy phase or store
    // operation (whose message pumping runs timers), a box waiting for the
    // user, or text the input method is still converting. Tried again later.
    if (isBusy() || FileSession::depth() > 0 || QApplication::activeModalWidget() ||
        mPlan->IsComposing()) {
        mQuietSave->start();
        return;
    }
    try {
        mPlan->SaveQuietly();
    } catch (const std::exception&) {
        // Quietly: the entry stays edited, and the next save point (a day
        // change, closing) writes it or says why it cannot.
    }
}

void frmMain::keepUnsavedEntry()
{
    if (!mPlan || !mPlan->Dirty)
        return;
    mPlan->CommitComposition();
    // The session's end and the quit that follows it may both come here
    // with the same entry: it is kept once.
    static std::pair<int, QString> lastKept;
    const std::pair<int, QString> entry{mPlan->DateIndex(),
                                        clsPlan::ToStoredText(clsPlan::BoxText(txtToday))};
    if (entry == lastKept)
        return;
    if (!KeepForRecovery(entry.first, entry.second).isEmpty())
        lastKept = entry;
}

void frmMain::unloadAtExit()
{
    if (mUnloaded || !mLoaded)
        return;
    mUnloaded = true;
    if (mQuietSave)
        mQuietSave->stop();
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
    QString problem;
    try {
        RunningScope busy(this, QStringLiteral("暦ファイルのバックアップを作成しています。"));
        BackupCalendar();
        return true;
    } catch (const EngineError& e) {
        problem = e.causeText();
    }
    QString question = QStringLiteral("暦ファイルのバックアップを作成できませんでした。\r");
    if (!problem.isEmpty())
        question += problem + QLatin1Char('\r');
    question += QStringLiteral("バックアップなしで実行しますか？");
    return AskYesNo(question, Dialogs::No) == Dialogs::Yes;
}
