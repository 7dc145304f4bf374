#pragma once

#include "store/Argon2Kdf.h"
#include "store/RecoveryKey.h"
#include "store/SecureBytes.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <cstddef>
#include <functional>
#include <stdexcept>

// The envelope of an encrypted calendar, its backups and recovery files: a
// header that names the format, its version and the key derivation, the
// random data key wrapped twice (by the password and by the recovery key),
// and the payload (the calendar's database image, or any other bytes)
// encrypted and authenticated with the data key. The README describes the
// layout. Nothing here knows about databases or windows.

// Why an encrypted file could not be opened.
enum class EnvelopeFailure
{
    NotEncrypted,     // the file has no envelope
    UnknownVersion,   // an envelope of a version this program cannot read
    Damaged,          // a check failed: the file is damaged or was altered
    WrongPassword,    // the password does not open the data key
    WrongRecoveryKey, // nor does the recovery key
};

class EnvelopeError : public std::runtime_error
{
public:
    explicit EnvelopeError(EnvelopeFailure failure, int version = 0);
    EnvelopeFailure failure() const { return mFailure; }
    // The version the file names, for UnknownVersion.
    int version() const { return mVersion; }
    // The cause in plain Japanese, one line.
    QString text() const;

private:
    EnvelopeFailure mFailure;
    int mVersion;
};

// The header of an encrypted file as read from its start.
struct EnvelopeHeader
{
    int version = 0;
    Argon2Kdf kdf{0, 0, QByteArray()};
    QByteArray passwordWrap; // nonce and wrapped data key
    QByteArray recoveryWrap; // nonce and wrapped data key
    QByteArray bytes;        // the header as stored, authenticated with the payload
};

// The keys of one encrypted calendar: the data key, and the parts of the
// header that stay from one write to the next (the key derivation and both
// wrapped keys). Every file written with the same keys opens with the same
// password and recovery key.
class EnvelopeKeys
{
public:
    // A new random data key, wrapped by `password` (derived with `kdf`) and
    // by `recovery`.
    static EnvelopeKeys create(const SecureBytes& password, const Argon2Kdf& kdf,
                               const RecoveryKey& recovery);
    // The keys of the file `file` (read from its start), unwrapped with the
    // password or with the recovery key. Throws EnvelopeError.
    static EnvelopeKeys unlock(QIODevice& file, const SecureBytes& password);
    static EnvelopeKeys unlockWithRecoveryKey(QIODevice& file, const RecoveryKey& recovery);

    // The same data key wrapped by a new password with a new salt; the
    // recovery key still opens it.
    EnvelopeKeys withPassword(const SecureBytes& password, const Argon2Kdf& kdf) const;
    EnvelopeKeys clone() const;

    const Argon2Kdf& kdf() const { return mKdf; }
    const SecureBytes& dataKey() const { return mDataKey; }
    const QByteArray& passwordWrap() const { return mPasswordWrap; }
    const QByteArray& recoveryWrap() const { return mRecoveryWrap; }
    // True when `header` holds this data key. The recovery wrap is random
    // for every data key and never changes for it, so it names the key.
    bool fits(const EnvelopeHeader& header) const { return header.recoveryWrap == mRecoveryWrap; }

private:
    EnvelopeKeys(SecureBytes dataKey, const Argon2Kdf& kdf, const QByteArray& passwordWrap,
                 const QByteArray& recoveryWrap);

    SecureBytes mDataKey;
    Argon2Kdf mKdf;
    QByteArray mPasswordWrap;
    QByteArray mRecoveryWrap;
};

namespace Envelope {

// The version new files are written in.
constexpr int kVersion = 1;

// True when `start`, the first bytes of a file, begins an envelope (of any
// version).
bool Starts(const QByteArray& start);

// Reads the header at the start of `file`. Throws EnvelopeError
// (NotEncrypted, UnknownVersion, Damaged).
EnvelopeHeader ReadHeader(QIODevice& file);
EnvelopeHeader ReadHeader(const QByteArray& file);

// The file that holds the `size` bytes at `data` sealed with `keys`.
QByteArray Seal(const EnvelopeKeys& keys, const unsigned char* data, std::size_t size);
QByteArray Seal(const EnvelopeKeys& keys, const QByteArray& payload);
// Opens the envelope `file` with `keys`: `allocate` is called once with the
// payload's size and returns where the payload is written. Every byte of
// the file is checked; a file that fails a check throws EnvelopeError
// (Damaged), and what was written at `allocate`'s memory then is no
// payload. Throws NotEncrypted and UnknownVersion too.
void Open(const EnvelopeKeys& keys, const QByteArray& file,
          const std::function<unsigned char*(std::size_t)>& allocate);
QByteArray Open(const EnvelopeKeys& keys, const QByteArray& file);

} // namespace Envelope

// Seals one payload again and again as it changes, the way a calendar is
// written after every change: only the chunks that differ from the last
// payload sealed are encrypted anew (with new nonces), the others are kept
// as they were. Keeps the last file and a copy of its payload, which is
// wiped when the sealer goes.
class EnvelopeSealer
{
public:
    explicit EnvelopeSealer(const EnvelopeKeys& keys);
    ~EnvelopeSealer();
    EnvelopeSealer(const EnvelopeSealer&) = delete;
    EnvelopeSealer& operator=(const EnvelopeSealer&) = delete;

    // True when files sealed with `keys` have the header this sealer writes.
    bool sealsWith(const EnvelopeKeys& keys) const;
    // Starts from `file`, just opened with the same keys, and its payload.
    void adopt(const QByteArray& file, const unsigned char* payload, std::size_t size);
    // The file that holds the `size` bytes at `data`. Valid until the next
    // call.
    const QByteArray& seal(const unsigned char* data, std::size_t size);

private:
    // Room for a payload of `size` bytes, keeping the one held.
    void reserve(std::size_t size);

    QByteArray mHeader;
    SecureBytes mPayloadKey;
    SecureBytes mSealKey;
    QByteArray mFile;
    unsigned char* mPayload = nullptr;
    std::size_t mPayloadSize = 0;
    std::size_t mPayloadCapacity = 0;
};
