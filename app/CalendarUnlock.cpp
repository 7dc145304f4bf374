#include "app/CalendarUnlock.h"

#include "app/Main.h"
#include "entries/KeptFiles.h"
#include "platform/CoreDumps.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/Engine.h"
#include "ui/PasswordPrompts.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <new>

namespace {

// The warning for a file that no password opens, and the end of start-up.
int cannotOpen(const QString& cause)
{
    ShowWarning(QStringLiteral("暦ファイルを開くことができません。\r") + cause + QLatin1Char('\r') +
                QDir::toNativeSeparators(gDataPath));
    return kStartupEnded;
}

// After the recovery key opened the calendar: its password was forgotten,
// so a new one is offered at once.
void offerNewPassword()
{
    std::optional<SecureBytes> password = AskNewPassword(
        QStringLiteral("回復キーで暦ファイルを開きました。\r新しいパスワードを入力して下さい。"
                       "キャンセルすると、今までのパスワードのままになります。"));
    if (!password)
        return;
    try {
        {
            SetBusy(true);
            const auto idle = qScopeGuard([] { SetBusy(false); });
            SetCalendarPassword(*password);
            ResealKeptFiles(FindKeptFiles().sealed, *HeldCalendarKeys());
        }
        ShowInfo(QStringLiteral("パスワードを変更しました。回復キーは変わりません。"));
    } catch (const EngineError& e) {
        ShowWarning(QStringLiteral("パスワードを変更できませんでした。\r") + StoreErrorText(e));
    }
}

} // namespace

std::optional<int> UnlockEncryptedCalendar()
{
    if (!IsEncryptedFile(gDataPath))
        return std::nullopt;
    // The password typed, the keys and then the diary are in memory from
    // here on.
    PreventCoreDumps();
    try {
        // A header that no password opens (damaged, or asking for more
        // work than any file this program writes) is said before one is
        // asked for, and nothing is derived from it.
        {
            QFile file(gDataPath);
            if (!file.open(QIODevice::ReadOnly))
                throw EngineError(gDataPath, file.errorString(), EngineError::fileCause(gDataPath));
            Envelope::ReadHeader(file);
        }
        PasswordRefusals refusals{0, BackupFolder()};
        for (;;) {
            const PasswordOutcome outcome = AskPasswordUntilAccepted(
                UnlockPrompt(), true, [](const SecureBytes& password) { UnlockCalendar(password); },
                nullptr, QString(), &refusals);
            if (outcome == PasswordOutcome::Accepted)
                return std::nullopt;
            if (outcome == PasswordOutcome::Cancelled)
                return kStartupEnded;
            if (AskRecoveryKeyUntilAccepted(
                    [](const RecoveryKey& key) { UnlockCalendarWithRecoveryKey(key); })) {
                offerNewPassword();
                return std::nullopt;
            }
        }
    } catch (const EnvelopeError& e) {
        return cannotOpen(e.text());
    } catch (const EngineError& e) {
        // The keys opened, the rest did not: the check of the calendar that
        // follows offers a backup.
        if (e.cause() == EngineError::Cause::Altered && HeldCalendarKeys())
            return std::nullopt;
        return cannotOpen(e.userText(false));
    } catch (const std::bad_alloc&) {
        // Outside the store's work: the password's own locked memory.
        return cannotOpen(
            EngineError(gDataPath, QString(), EngineError::Cause::OutOfMemory).causeText());
    }
}
