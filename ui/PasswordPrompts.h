#pragma once

#include "store/SecureBytes.h"

#include <QString>

#include <functional>
#include <optional>

class RecoveryKey;
class RunningHost;

// The password and recovery key boxes of an encrypted calendar, shared by
// start-up and the 暗号化 command. Every box goes through the dialog seam.

// What encryption protects and what a lost password means, for the box
// that asks for the first password.
QString EncryptionExplanation();
// The password box at start-up.
QString UnlockPrompt();
// The warning for a password refused again and again by a file whose
// header's checksum holds: the password may be wrong, or the file altered
// (its salt or wrapped key changed). Points to the recovery key, which
// opens such a file up to the contents' check and so to the offer of a
// backup, and names the backups' folder.
QString WrongPasswordOrAlteredText(const QString& backupFolder);

// Asks for a new password, typed twice, below `lead`. Empty when the user
// cancels.
std::optional<SecureBytes> AskNewPassword(const QString& lead);

// How asking for a password ended.
enum class PasswordOutcome
{
    Accepted,
    Cancelled,
    UseRecoveryKey // the box's 回復キーを使う (only when `alternative` is on)
};

// The wrong passwords told so far, kept by a caller that asks more than
// once (start-up, around the recovery key).
struct PasswordRefusals
{
    // From this wrong answer in a row on, the warning is
    // WrongPasswordOrAlteredText().
    static constexpr int kUntilAltered = 3;
    int count = 0;
    QString backupFolder;
};

// Asks for the password with `prompt` until `attempt` takes it: `attempt`
// throws EnvelopeError (WrongPassword) for a wrong one, which the user is
// told before being asked again; any other error passes to the caller. With
// `alternative` the box offers 回復キーを使う. While `attempt` runs (the key
// derivation takes a moment) `host` shows `busyText`. Given `refusals`, the
// wrong answers are counted there.
PasswordOutcome AskPasswordUntilAccepted(const QString& prompt, bool alternative,
                                         const std::function<void(const SecureBytes&)>& attempt,
                                         RunningHost* host = nullptr,
                                         const QString& busyText = QString(),
                                         PasswordRefusals* refusals = nullptr);

// Asks for the recovery key until `attempt` takes it: a text that is no
// recovery key and EnvelopeError (WrongRecoveryKey) are said and asked
// again. False when the user cancels.
bool AskRecoveryKeyUntilAccepted(const std::function<void(const RecoveryKey&)>& attempt);
