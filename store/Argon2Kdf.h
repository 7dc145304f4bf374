#pragma once

#include "store/SecureBytes.h"

#include <QByteArray>

// How the key that wraps a calendar's data key is derived from the
// password: Argon2id (libsodium's crypto_pwhash) with its work limits and a
// random salt. The value is written into the header of an encrypted file
// and read back from it, so a file always opens with the limits it was
// written with.
class Argon2Kdf
{
public:
    static constexpr int kSaltBytes = 16;
    static constexpr int kKeyBytes = 32;

    // libsodium's MODERATE limits (3 passes over 256 MiB, about half a
    // second here), with a new random salt.
    static Argon2Kdf moderate();
    // What new files and new passwords use: moderate(), unless a test set
    // cheaper limits.
    static Argon2Kdf forNewFiles();
    // Tests only: the limits forNewFiles() gives from now on; 0 and 0 go
    // back to moderate(). The program itself never calls it.
    static void setNewFileLimitsForTesting(quint32 passes, quint32 memoryKiB);
    // The given limits with a new random salt. Tests pass cheap ones.
    static Argon2Kdf withLimits(quint32 passes, quint32 memoryKiB);
    // A value read from a file.
    Argon2Kdf(quint32 passes, quint32 memoryKiB, const QByteArray& salt);

    quint32 passes() const { return mPasses; }
    quint32 memoryKiB() const { return mMemoryKiB; }
    const QByteArray& salt() const { return mSalt; }

    // The same limits with a new random salt: a new password never reuses
    // the salt of the old one.
    Argon2Kdf withNewSalt() const { return withLimits(mPasses, mMemoryKiB); }

    // The most a file may ask for: 10 passes over 1 GiB, a few times what
    // this program writes (moderate()). The header's checksum guards
    // against damage only, so a file beyond this ceiling was altered to
    // make opening it take minutes or all the memory, and is refused
    // before anything is derived. Readers of the format keep to the same
    // rule.
    static constexpr quint32 kMaxPasses = 10;
    static constexpr quint32 kMaxMemoryKiB = 1024 * 1024;

    // True when the limits are ones this program derives with: within
    // Argon2id's minimums and the ceiling above.
    bool isAcceptable() const;

    // The 32-byte key for `password`. Throws std::bad_alloc when the memory
    // the limits ask for cannot be had.
    SecureBytes deriveKey(const SecureBytes& password) const;

private:
    quint32 mPasses;
    quint32 mMemoryKiB;
    QByteArray mSalt;
};
