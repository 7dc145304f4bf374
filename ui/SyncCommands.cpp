// Calendars from another computer: what the store wrote back into a
// calendar replaced on disk, said in the message panel; the entry being
// typed merged with the file's text of its day; conflict copies beside the
// calendar offered and taken in; the days that hold both computers' texts
// listed in 「統合した日」.

#include "entries/RecoveryFile.h"
#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarCopy.h"
#include "store/CalendarEncryption.h"
#include "store/Envelope.h"
#include "store/FileSession.h"
#include "sync/ConflictCopyMerge.h"
#include "sync/ConflictCopyNames.h"
#include "sync/JournalReplay.h"
#include "sync/MergeError.h"
#include "sync/TextMerge.h"
#include "ui/PasswordPrompts.h"
#include "ui/RetryTimer.h"
#include "ui/frmMain.h"
#include "ui/frmMergedDays.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTimer>

namespace {

// How long the message panel says what a merge did.
constexpr int kSyncMessageMs = 60000;
// How soon work that waits for a command or a box looks again.
constexpr int kWaitMs = 500;

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool frmMain::isOccupied() const
{
    return isBusy() || FileSession::depth() > 0 || QApplication::activeModalWidget();
}

void frmMain::setSyncMessage(const QString& text)
{
    if (!mSyncMessageTimer) {
        mSyncMessageTimer = new QTimer(this);
        mSyncMessageTimer->setSingleShot(true);
        connect(mSyncMessageTimer, &QTimer::timeout, this, [this] { setSyncMessage(QString()); });
    }
    mSyncMessage = text;
    if (!text.isEmpty())
        mSyncMessageTimer->start(kSyncMessageMs);
    showIdleMessage();
}

void frmMain::showWrittenDays()
{
    if (!mCalendar || !mPlan)
        return;
    guarded([&] {
        // The kinds written show in the grid's colours, the entries in the
        // marks and in the box; an entry being typed is merged when saved.
        if (mnuDispMode[0]->isChecked() && !greDate->isHidden())
            mCalendar->Refresh();
        if (!mPlan->Dirty && mPlan->DateIndex() != 0 && mPlan->DateIndex() == mCalendar->CurDate())
            mPlan->Load(mPlan->DateIndex());
    });
}

void frmMain::takeReplayReport()
{
    if (!mLoaded || mUnloaded)
        return;
    if (isOccupied()) {
        QTimer::singleShot(kWaitMs, this, &frmMain::takeReplayReport);
        return;
    }
    const JournalReplay::Report report = JournalReplay::instance().takeReport();
    if (report.broughtBack > 0)
        setSyncMessage(QStringLiteral("別の場所から来た暦に、このコンピューターで書いた %1 "
                                      "日分を書き戻しました。")
                           .arg(report.broughtBack));
    showWrittenDays();
    QList<int> merged;
    for (const MergedDay& day : report.merged)
        merged << day.key;
    if (!merged.isEmpty())
        showMergedDays(merged);
    // Days written here that the other calendar does not store: their text
    // is kept where the user is told about it.
    QStringList kept;
    for (const DayWrite& day : report.unstored)
        if (day.text && !day.day.text.isEmpty()) {
            const QString path = WriteRecoveryFile(day.key, day.day.text);
            if (!path.isEmpty())
                kept << nativePath(path);
        }
    if (!kept.isEmpty()) {
        MarkRecoveryFilesReported(kept);
        ShowInfo(QStringLiteral("別の場所から来た暦には、このコンピューターで予定を書いた日の"
                                "一部がありません。その予定を次のファイルに残しました。\r") +
                 kept.join(QLatin1Char('\r')));
    }
}

std::optional<QString> frmMain::mergeTypedEntry(int key, const QString& base, const QString& ours,
                                                const QString& theirs)
{
    try {
        const TextMerge merge =
            MergeText(base, ours, theirs, MergeLabel(QFileInfo(gDataPath).lastModified()));
        if (merge.bothSides())
            QTimer::singleShot(0, this, [this, key] { showMergedDays({key}); });
        return merge.text;
    } catch (const MergeError&) {
        // The typed text goes to a recovery file, as without a merge.
        return std::nullopt;
    }
}

void frmMain::showMergedDays(const QList<int>& keys)
{
    if (mUnloaded)
        return;
    if (!mMergedDays) {
        mMergedDays = new frmMergedDays(this);
        connect(mMergedDays, &frmMergedDays::openDay, this, &frmMain::openMergedDay);
    }
    mMergedDays->addDays(keys);
    mMergedDays->showBeside();
}

void frmMain::openMergedDay(int key)
{
    const bool opened = guarded([&] {
        // The day is shown in the month grid display.
        if (!mnuDispMode[0]->isChecked()) {
            plan()->Save();
            list()->CloseList();
            greList->setVisible(false);
            for (int i = 0; i < 3; ++i)
                mnuDispMode[i]->setChecked(i == 0);
        }
        mCalendar->setCurDate(key);
    });
    if (!opened)
        return;
    raise();
    activateWindow();
    if (txtToday->isVisible())
        txtToday->setFocus(Qt::OtherFocusReason);
}

void frmMain::calendarFolderChanged()
{
    if (!mLoaded || mUnloaded)
        return;
    if (isOccupied()) {
        QTimer::singleShot(kWaitMs, this, &frmMain::calendarFolderChanged);
        return;
    }
    // A calendar renamed over the one in use is merged now, not at the next
    // save; whatever keeps the file from being read is said by the next
    // command that reads it.
    try {
        const QuickAttempt quick;
        FileSession look;
    } catch (const std::exception&) {
    }
    TakeInConflictCopies();
}

void frmMain::TakeInConflictCopies()
{
    if (!mLoaded || mUnloaded || mTakingInCopies)
        return;
    // From here on, the folder is watched for copies that come later.
    retryTimer()->watchFolder();
    if (isOccupied()) {
        QTimer::singleShot(kWaitMs, this, &frmMain::TakeInConflictCopies);
        return;
    }
    const QScopedValueRollback taking(mTakingInCopies, true);
    for (const QString& path : ConflictCopyNames::find(gDataPath))
        if (!mCopiesPassed.contains(path) && QFileInfo::exists(path))
            takeInCopy(path);
}

void frmMain::takeInCopy(const QString& path)
{
    // Read first: only a copy that reads as a calendar is offered.
    QList<DayRow> copy;
    std::optional<EngineError> failure;
    try {
        const QuickAttempt quick;
        try {
            copy = ReadCalendarCopy(path);
        } catch (const EngineError& e) {
            if (e.cause() != EngineError::Cause::Locked || !IsEncryptedFile(path))
                throw;
            // Encrypted on its own elsewhere: its own password opens it.
            const PasswordOutcome outcome = AskPasswordUntilAccepted(
                QStringLiteral("別のコンピューターで書かれた暦の写しは、別のパスワードで暗号化さ"
                               "れています。写しのパスワードを入力して下さい。\r") +
                    nativePath(path),
                false,
                [&](const SecureBytes& password) { copy = ReadCalendarCopy(path, &password); },
                this, QStringLiteral("暦の写しを開いています。"));
            if (outcome != PasswordOutcome::Accepted) {
                mCopiesPassed.insert(path);
                return;
            }
        }
    } catch (const EngineError& e) {
        failure = e;
    } catch (const EnvelopeError& e) {
        failure = EngineError(path, e.text(), EngineError::Cause::Altered);
    }
    if (failure) {
        // Held by the program writing it: looked at again with the next
        // change of the folder.
        if (failure->cause() == EngineError::Cause::InUse)
            return;
        mCopiesPassed.insert(path);
        ShowWarning(QStringLiteral("別のコンピューターで書かれた暦の写しを読み込めませんでした。"
                                   "写しはそのまま残します。\r") +
                    nativePath(path) + QLatin1Char('\r') + failure->causeText());
        return;
    }

    if (AskYesNo(QStringLiteral("別のコンピューターで書かれた暦の写しがあります。取り込みますか？"
                                "\r") +
                     nativePath(path),
                 Dialogs::Yes) == Dialogs::No) {
        mCopiesPassed.insert(path);
        return;
    }
    CalendarMerge merge;
    bool merged = false;
    guarded([&] {
        // The entry being typed is saved first and is in the backup.
        if (!BackupBeforeChange()) {
            mCopiesPassed.insert(path);
            return;
        }
        RunningScope busy(this, QStringLiteral("暦の写しを取り込んでいます。"));
        merge = MergeCopyIntoCalendar(copy, MergeLabel(QFileInfo(path).lastModified()));
        merged = true;
        // Taken in: not offered again, even when it cannot be moved.
        mCopiesPassed.insert(path);
        MoveIntoBackupFolder(path);
    });
    // A merge that failed (the calendar locked, say) is offered again with
    // the next change of the folder; one declined without a backup is not.
    if (!merged)
        return;
    setSyncMessage(
        QStringLiteral("暦の写しから %1 日分を取り込みました。").arg(merge.writes.size()));
    showWrittenDays();
    QList<int> both;
    for (const MergedDay& day : merge.merged)
        both << day.key;
    if (!both.isEmpty())
        showMergedDays(both);
    if (!merge.unstored.isEmpty())
        ShowInfo(QStringLiteral("暦の写しのうち、登録暦範囲外の %1 日分は取り込めませんでした。"
                                "写しは backup フォルダにあります。\r")
                     .arg(merge.unstored.size()) +
                 nativePath(BackupFolder()));
}
