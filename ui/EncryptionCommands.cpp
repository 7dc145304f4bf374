// The Environment menu's 暗号化: turning the calendar's encryption on (a new
// password, the recovery key shown once, the backups and recovery files
// from before sealed or deleted), changing its password, fresh keys (a new
// data key under a new password and recovery key), turning it off, and
// reading the encrypted recovery files.

#include "entries/KeptFiles.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "ui/PasswordPrompts.h"
#include "ui/frmMain.h"
#include "ui/frmRecoveryFiles.h"
#include "ui/frmRecoveryKey.h"

#include <QAction>
#include <QScopeGuard>

namespace {

// Says which kept files could not be changed, and what that means.
void reportFailures(const KeptFilesOutcome& outcome, const QString& lead)
{
    if (!outcome.failed.isEmpty())
        ShowWarning(lead + QLatin1Char('\r') + outcome.failed.join(QLatin1Char('\r')));
}

// Asks for the calendar's current password until it is the right one;
// false when the user cancels.
bool askCurrentPassword(RunningHost* host, const QString& lead)
{
    return AskPasswordUntilAccepted(
               lead + QStringLiteral("現在のパスワードを入力して下さい。"), false,
               [](const SecureBytes& password) { CheckCalendarPassword(password); }, host,
               QStringLiteral("パスワードを確かめています。")) == PasswordOutcome::Accepted;
}

} // namespace

void frmMain::mnuEncrypt_Click()
{
    if (!mnuEncrypt->isChecked()) {
        turnEncryptionOn();
        return;
    }
    const int chosen = Dialogs::provider().choice(
        kAppTitle, QStringLiteral("暦ファイルは暗号化されています。\rどうしますか？"),
        {QStringLiteral("パスワードの変更"), QStringLiteral("暗号化の解除"),
         QStringLiteral("回復用ファイルを読む"), QStringLiteral("鍵を新しくする"),
         QStringLiteral("キャンセル")});
    switch (chosen) {
    case 0:
        changePassword();
        break;
    case 1:
        turnEncryptionOff();
        break;
    case 2: {
        frmRecoveryFiles reader(this);
        reader.exec();
        break;
    }
    case 3:
        renewKeys();
        break;
    default:
        break;
    }
}

void frmMain::turnEncryptionOn()
{
    std::optional<SecureBytes> password = AskNewPassword(EncryptionExplanation());
    if (!password)
        return;
    QString key;
    const bool encrypted = guarded([&] {
        // The entry typed goes into the calendar before it is encrypted.
        plan()->Save();
        const RunningScope busy(this, QStringLiteral("暦ファイルを暗号化しています。"));
        key = EncryptCalendar(*password);
    });
    password.reset();
    if (!encrypted)
        return;
    mnuEncrypt->setChecked(true);
    {
        frmRecoveryKey shown(key, this);
        shown.exec();
    }
    SecureBytes::takeText(key);

    // What was kept before still holds the diary in plain text.
    const KeptFiles kept = FindKeptFiles();
    if (kept.plain.isEmpty())
        return;
    const int chosen = Dialogs::provider().choice(
        kAppTitle,
        QStringLiteral("暗号化する前に作ったバックアップと回復用ファイルが %1 個あります。これらの"
                       "ファイルの日記は暗号化されていません。\rどうしますか？")
            .arg(kept.plain.size()),
        {QStringLiteral("暗号化する"), QStringLiteral("削除する"),
         QStringLiteral("そのままにする")});
    if (chosen == 0) {
        KeptFilesOutcome outcome;
        {
            const RunningScope busy(this, QStringLiteral("ファイルを暗号化しています。"));
            outcome = SealKeptFiles(kept.plain);
        }
        reportFailures(outcome, QStringLiteral("次のファイルは暗号化できませんでした。"));
    } else if (chosen == 1) {
        reportFailures(DeleteKeptFiles(kept.plain),
                       QStringLiteral("次のファイルは削除できませんでした。"));
    }
}

void frmMain::changePassword()
{
    guarded([this] {
        if (!askCurrentPassword(this, QString()))
            return;
        // The data key stays: a copy of the file made before opens it with
        // the old password, and with it whatever is written later.
        std::optional<SecureBytes> password = AskNewPassword(QStringLiteral(
            "これより前に写した暦ファイルのコピーは前のパスワードで開けるままなので、前のパスワード"
            "を知る人を締め出すには、代わりに「鍵を新しくする」を使って下さい。\r\r"
            "新しいパスワードを入力して下さい。"));
        if (!password)
            return;
        KeptFilesOutcome outcome;
        {
            const RunningScope busy(this, QStringLiteral("パスワードを変更しています。"));
            SetCalendarPassword(*password);
            // Backups and recovery files open with the new password only,
            // as the calendar does.
            outcome = ResealKeptFiles(FindKeptFiles().sealed, *HeldCalendarKeys());
        }
        reportFailures(outcome, QStringLiteral("次のファイルは、前のパスワードのままです。"));
        ShowInfo(QStringLiteral("パスワードを変更しました。回復キーは変わりません。"));
    });
}

void frmMain::renewKeys()
{
    guarded([this] {
        if (!askCurrentPassword(
                this, QStringLiteral("鍵を新しくします。暦ファイルとそのバックアップ、回復用ファイ"
                                     "ルを新しい鍵で暗号化し直し、新しいパスワードと新しい回復キー"
                                     "で開くようにします。\r")))
            return;
        std::optional<SecureBytes> password = AskNewPassword(
            QStringLiteral("新しいパスワードを入力して下さい。\r新しい回復キーは、このあと一度だけ"
                           "表示します。"));
        if (!password)
            return;
        // The entry typed goes into the calendar before it is sealed anew.
        plan()->Save();
        QString key;
        KeptFilesOutcome outcome;
        {
            const RunningScope busy(this, QStringLiteral("鍵を新しくしています。"));
            // The calendar first: from then on everything written is sealed
            // with the new keys. The files beside it are opened with the
            // old ones, kept here until they are sealed again.
            const EnvelopeKeys previous = HeldCalendarKeys()->clone();
            const QStringList sealed = FindKeptFiles().sealed;
            key = RenewCalendarKeys(*password);
            password.reset();
            outcome = ResealKeptFiles(sealed, *HeldCalendarKeys(), &previous);
        }
        {
            frmRecoveryKey shown(key, this);
            shown.exec();
        }
        SecureBytes::takeText(key);
        reportFailures(outcome,
                       QStringLiteral("次のファイルは、前の鍵のままです。これらのファイル"
                                      "は、前のパスワードか前の回復キーでしか開けません。"));
        ShowInfo(QStringLiteral("鍵を新しくしました。これから保存するファイルは、前のパスワードと回"
                                "復キーでは開けません。\rただし、これより前に写した暦ファイルのコ"
                                "ピーは、前のパスワードと回復キーで開けるままです。"));
    });
}

void frmMain::turnEncryptionOff()
{
    guarded([this] {
        if (!askCurrentPassword(this, QStringLiteral("暗号化を解除します。\r")))
            return;
        if (AskYesNo(QStringLiteral("暗号化を解除すると、暦ファイルとそのバックアップ、回復用ファ"
                                    "イルは、暗号化されずに保存されます。\r解除しますか？"),
                     Dialogs::No) == Dialogs::No)
            return;
        plan()->Save();
        KeptFilesOutcome outcome;
        {
            const RunningScope busy(this, QStringLiteral("暗号化を解除しています。"));
            // The calendar first; its keys are kept for the files beside it
            // until they are plain too.
            EnvelopeKeys keys = HeldCalendarKeys()->clone();
            const QStringList sealed = FindKeptFiles().sealed;
            DecryptCalendar();
            mnuEncrypt->setChecked(false);
            HoldCalendarKeys(std::move(keys));
            const auto forget = qScopeGuard([] { ForgetCalendarKeys(); });
            outcome = UnsealKeptFiles(sealed);
        }
        reportFailures(outcome, QStringLiteral("次のファイルは暗号化を解除できませんでした。これら"
                                               "のファイルは、Zedu で読めなくなります。"));
        ShowInfo(QStringLiteral("暗号化を解除しました。"));
    });
}
