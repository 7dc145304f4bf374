#include "store/Argon2Kdf.h"

#include <sodium.h>

#include <new>

static_assert(Argon2Kdf::kSaltBytes == crypto_pwhash_argon2id_SALTBYTES);

static_assert(Argon2Kdf::kMaxPasses >= crypto_pwhash_argon2id_OPSLIMIT_MODERATE &&
              Argon2Kdf::kMaxMemoryKiB * 1024ULL >= crypto_pwhash_argon2id_MEMLIMIT_MODERATE);

namespace {
quint32 testPasses = 0;
quint32 testMemoryKiB = 0;
} // namespace

Argon2Kdf Argon2Kdf::moderate()
{
    return withLimits(crypto_pwhash_argon2id_OPSLIMIT_MODERATE,
                      crypto_pwhash_argon2id_MEMLIMIT_MODERATE / 1024);
}

Argon2Kdf Argon2Kdf::forNewFiles()
{
    if (testPasses != 0)
        return withLimits(testPasses, testMemoryKiB);
    return moderate();
}

void Argon2Kdf::setNewFileLimitsForTesting(quint32 passes, quint32 memoryKiB)
{
    testPasses = passes;
    testMemoryKiB = memoryKiB;
}

Argon2Kdf Argon2Kdf::withLimits(quint32 passes, quint32 memoryKiB)
{
    EnsureSodium();
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    randombytes_buf(salt.data(), std::size_t(salt.size()));
    return Argon2Kdf(passes, memoryKiB, salt);
}

Argon2Kdf::Argon2Kdf(quint32 passes, quint32 memoryKiB, const QByteArray& salt)
    : mPasses(passes), mMemoryKiB(memoryKiB), mSalt(salt)
{}

bool Argon2Kdf::isAcceptable() const
{
    const quint64 memory = quint64(mMemoryKiB) * 1024;
    return mSalt.size() == kSaltBytes && mPasses >= crypto_pwhash_argon2id_OPSLIMIT_MIN &&
           mPasses <= kMaxPasses && memory >= crypto_pwhash_argon2id_MEMLIMIT_MIN &&
           mMemoryKiB <= kMaxMemoryKiB;
}

SecureBytes Argon2Kdf::deriveKey(const SecureBytes& password) const
{
    SecureBytes key(kKeyBytes);
    if (crypto_pwhash(key.data(), key.size(), reinterpret_cast<const char*>(password.data()),
                      password.size(), reinterpret_cast<const unsigned char*>(mSalt.constData()),
                      mPasses, std::size_t(mMemoryKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::bad_alloc();
    return key;
}
