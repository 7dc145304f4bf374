#pragma once

#include "store/Argon2Kdf.h"
#include "store/Envelope.h"
#include "store/RecoveryKey.h"
#include "store/SecureBytes.h"

#include <QByteArray>
#include <QString>

// Encryption of the calendar at gDataPath, as the commands and the start-up
// use it: unlocking, turning it on and off, changing the password, and
// sealing the files kept beside the calendar (backups, recovery files) with
// the same keys. Each call replaces a file only by a complete one
// (store/EncryptedImage.h), and none may run inside a store operation
// (FileSession::depth() must be 0).

// True when the file at `path` begins with an envelope, readable or not.
bool IsEncryptedFile(const QString& path);

// Unlocks the encrypted calendar with its password or its recovery key:
// derives the key, opens the data key, holds the keys for the run and opens
// gDatabase on the calendar's image in memory, which checks every byte of
// the file. Writes nothing. Throws EnvelopeError for a wrong password or
// recovery key, a file that is not encrypted, a damaged header, or one of an
// unknown version (no keys are held then), and EngineError when the file
// cannot be read at all. When the keys opened but the rest of the file
// fails its checks, the keys stay held (backups sealed with them can still
// be read), gDatabase stays closed, and EngineError (Altered) is thrown.
void UnlockCalendar(const SecureBytes& password);
void UnlockCalendarWithRecoveryKey(const RecoveryKey& recovery);

// Holds the keys of the encrypted file `path` (a calendar read by the
// command line, say), opened with `password`; opens and writes nothing.
// Throws EnvelopeError as UnlockCalendar does, and EngineError when the file
// cannot be read.
void HoldKeysOf(const QString& path, const SecureBytes& password);

// Encrypts the plain calendar in place with a new data key, wrapped by
// `password` and by a new recovery key, and holds the keys. Returns the
// recovery key's written form, to be shown to the user once. gDatabase is
// closed first and left closed. Throws EngineError; the calendar is then
// as it was.
QString EncryptCalendar(const SecureBytes& password,
                        const Argon2Kdf& kdf = Argon2Kdf::forNewFiles());

// Puts the plain calendar in place of the encrypted one and forgets the
// keys. gDatabase is closed first and left closed. Throws EngineError; the
// calendar is then as it was.
void DecryptCalendar();

// Checks that `password` opens the calendar's header (before turning
// encryption off, say). Throws EnvelopeError (WrongPassword) or EngineError.
void CheckCalendarPassword(const SecureBytes& password);

// Checks `current` against the calendar's header, then wraps the data key
// with `newPassword` (new salt, `kdf`'s limits) and writes the calendar with
// the new header. The data key and the recovery key stay. Throws
// EnvelopeError (WrongPassword) or EngineError; the calendar and the held
// keys are then as they were.
void ChangeCalendarPassword(const SecureBytes& current, const SecureBytes& newPassword,
                            const Argon2Kdf& kdf = Argon2Kdf::forNewFiles());
// The same without the current password, for a calendar unlocked with its
// recovery key (its password was forgotten).
void SetCalendarPassword(const SecureBytes& newPassword,
                         const Argon2Kdf& kdf = Argon2Kdf::forNewFiles());

// Encrypts the calendar again under a new data key, wrapped by
// `newPassword` (new salt, `kdf`'s limits) and by a new recovery key, and
// holds the new keys: neither the old password nor the old recovery key
// opens anything written from now on. Files beside the calendar stay
// sealed with the old keys until they are sealed again (ResealFile with the
// old keys as `from`). Returns the new recovery key's written form, to be
// shown to the user once. gDatabase is closed first and left closed. Throws
// EngineError; the calendar and the held keys are then as they were.
QString RenewCalendarKeys(const SecureBytes& newPassword,
                          const Argon2Kdf& kdf = Argon2Kdf::forNewFiles());

// Files beside the calendar, sealed with the held keys. Each throws
// EngineError; a file sealed with other keys is Locked.
// Seals the plain file `path` (a backup from before encryption, a recovery
// file) in place; one that is sealed already stays as it is.
void SealFileInPlace(const QString& path);
// Writes the plain payload of a file sealed with the held keys in its
// place (turning encryption off); a plain file stays as it is.
void UnsealFileInPlace(const QString& path);
// Seals a file sealed with `from` (the held keys when null) again with
// `keys` (the held ones after a password change or fresh keys), so that it
// opens with the new password.
void ResealFile(const QString& path, const EnvelopeKeys& keys, const EnvelopeKeys* from = nullptr);
// Writes `payload` sealed to `path`, replacing it atomically.
void WriteSealedFile(const QString& path, const QByteArray& payload);
// The payload of a sealed file.
QByteArray ReadSealedFile(const QString& path);
