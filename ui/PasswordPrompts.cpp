#include "ui/PasswordPrompts.h"

#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/Envelope.h"
#include "store/RecoveryKey.h"

#include <QDir>
#include <QScopeGuard>

namespace {

// `attempt` under the busy pointer (and `host`'s busy text): true when it
// took the answer, false after saying why it did not (`refusal`, or the
// error's own text).
template <typename Attempt>
bool tryAnswer(RunningHost* host, const QString& busyText, EnvelopeFailure refused,
               Attempt&& attempt, const QString& refusal = QString())
{
    try {
        const RunningScope busy(busyText.isEmpty() ? nullptr : host, busyText);
        SetBusy(true);
        const auto idle = qScopeGuard([] { SetBusy(false); });
        attempt();
        return true;
    } catch (const EnvelopeError& e) {
        if (e.failure() != refused)
            throw;
        ShowWarning(refusal.isEmpty() ? e.text() : refusal);
        return false;
    }
}

} // namespace

QString EncryptionExplanation()
{
    return QStringLiteral(
        "暦ファイルを暗号化します。\r\r"
        "暗号化すると、パスワードを知らない人は日記を読めません。ディスクやパソコンが盗まれても、"
        "このコンピューターの他のアカウントからでも、ファイルをコピーしても読めません。ただし、あな"
        "たのアカウントで動いているプログラムからは守れません。\r\r"
        "パスワードを忘れると、回復キーがなければ日記は二度と読めなくなります。回復キーは、この"
        "あと一度だけ表示します。\r\r"
        "新しいパスワードを入力して下さい。");
}

QString UnlockPrompt()
{
    return QStringLiteral("暦ファイルは暗号化されています。\rパスワードを入力して下さい。");
}

QString WrongPasswordOrAlteredText(const QString& backupFolder)
{
    return QStringLiteral("パスワードが違うか、暦ファイルが書き換えられています。\r"
                          "正しいパスワードで開けないときは、「回復キーを使う」を押して回復キーを"
                          "入力して下さい。暦ファイルが書き換えられていれば、そのあとバックアップ"
                          "から復元できます。\rバックアップ: ") +
           QDir::toNativeSeparators(backupFolder);
}

std::optional<SecureBytes> AskNewPassword(const QString& lead)
{
    Dialogs::PasswordAnswer answer = Dialogs::provider().password(kAppTitle, lead, true, QString());
    if (answer.what != Dialogs::PasswordAnswer::Entered || answer.text.isEmpty())
        return std::nullopt;
    return SecureBytes::takeText(answer.text);
}

PasswordOutcome AskPasswordUntilAccepted(const QString& prompt, bool alternative,
                                         const std::function<void(const SecureBytes&)>& attempt,
                                         RunningHost* host, const QString& busyText,
                                         PasswordRefusals* refusals)
{
    for (;;) {
        Dialogs::PasswordAnswer answer = Dialogs::provider().password(
            kAppTitle, prompt, false, alternative ? QStringLiteral("回復キーを使う") : QString());
        if (answer.what == Dialogs::PasswordAnswer::Alternative)
            return PasswordOutcome::UseRecoveryKey;
        if (answer.what != Dialogs::PasswordAnswer::Entered)
            return PasswordOutcome::Cancelled;
        const SecureBytes password = SecureBytes::takeText(answer.text);
        // From the third wrong answer in a row on, the warning says that
        // the file may have been altered.
        const QString refusal = refusals && refusals->count + 1 >= PasswordRefusals::kUntilAltered
                                    ? WrongPasswordOrAlteredText(refusals->backupFolder)
                                    : QString();
        if (tryAnswer(
                host, busyText, EnvelopeFailure::WrongPassword, [&] { attempt(password); },
                refusal))
            return PasswordOutcome::Accepted;
        if (refusals)
            ++refusals->count;
    }
}

bool AskRecoveryKeyUntilAccepted(const std::function<void(const RecoveryKey&)>& attempt)
{
    for (;;) {
        std::optional<QString> typed = Dialogs::provider().input(
            kAppTitle,
            QStringLiteral("回復キーを入力して下さい。\r英字と数字の 32 文字です。区切りの「-」"
                           "や空白、大文字と小文字の違いはかまいません。"),
            QString());
        if (!typed)
            return false;
        const std::optional<RecoveryKey> key = RecoveryKey::parse(*typed);
        SecureBytes::takeText(*typed);
        if (!key) {
            ShowWarning(QStringLiteral("回復キーは英字と数字の 32 文字です。書き留めた回復キーを"
                                       "確かめて、もう一度入力して下さい。"));
            continue;
        }
        if (tryAnswer(nullptr, QString(), EnvelopeFailure::WrongRecoveryKey,
                      [&] { attempt(*key); }))
            return true;
    }
}
