#include "store/Envelope.h"

#include "store/EnvelopeV1.h"

#include <QBuffer>
#include <QtEndian>

#include <sodium.h>

#include <cstdlib>
#include <cstring>

namespace {

const QByteArray kMagic("ZEDU-ENC", 8);
constexpr int kVersionEnd = 10;

const char* failureName(EnvelopeFailure failure)
{
    switch (failure) {
    case EnvelopeFailure::NotEncrypted:
        return "the file is not encrypted";
    case EnvelopeFailure::UnknownVersion:
        return "the file's encryption format has an unknown version";
    case EnvelopeFailure::Damaged:
        return "the encrypted file is damaged or was altered";
    case EnvelopeFailure::WrongPassword:
        return "wrong password";
    case EnvelopeFailure::WrongRecoveryKey:
        return "wrong recovery key";
    }
    return "";
}

} // namespace

EnvelopeError::EnvelopeError(EnvelopeFailure failure, int version)
    : std::runtime_error(failureName(failure)), mFailure(failure), mVersion(version)
{}

QString EnvelopeError::text() const
{
    switch (mFailure) {
    case EnvelopeFailure::NotEncrypted:
        return QStringLiteral("暗号化された暦ファイルではありません。");
    case EnvelopeFailure::UnknownVersion:
        return QStringLiteral("この暦ファイルの暗号化の形式（バージョン %1）には対応していません。")
            .arg(mVersion);
    case EnvelopeFailure::Damaged:
        return QStringLiteral("暦ファイルが壊れているか、書き換えられています。");
    case EnvelopeFailure::WrongPassword:
        return QStringLiteral("パスワードが違います。");
    case EnvelopeFailure::WrongRecoveryKey:
        return QStringLiteral("回復キーが違います。");
    }
    return QString();
}

EnvelopeKeys::EnvelopeKeys(SecureBytes dataKey, const Argon2Kdf& kdf,
                           const QByteArray& passwordWrap, const QByteArray& recoveryWrap)
    : mDataKey(std::move(dataKey)), mKdf(kdf), mPasswordWrap(passwordWrap),
      mRecoveryWrap(recoveryWrap)
{}

EnvelopeKeys EnvelopeKeys::create(const SecureBytes& password, const Argon2Kdf& kdf,
                                  const RecoveryKey& recovery)
{
    EnsureSodium();
    SecureBytes dataKey(crypto_secretstream_xchacha20poly1305_KEYBYTES);
    crypto_secretstream_xchacha20poly1305_keygen(dataKey.data());
    const QByteArray recoveryWrap =
        EnvelopeV1::Wrap(dataKey, recovery.wrappingKey(), EnvelopeV1::RecoveryWrapData());
    const QByteArray passwordWrap =
        EnvelopeV1::Wrap(dataKey, kdf.deriveKey(password), EnvelopeV1::PasswordWrapData(kdf));
    return EnvelopeKeys(std::move(dataKey), kdf, passwordWrap, recoveryWrap);
}

EnvelopeKeys EnvelopeKeys::unlock(QIODevice& file, const SecureBytes& password)
{
    const EnvelopeHeader header = Envelope::ReadHeader(file);
    std::optional<SecureBytes> dataKey =
        EnvelopeV1::Unwrap(header.passwordWrap, header.kdf.deriveKey(password),
                           EnvelopeV1::PasswordWrapData(header.kdf));
    if (!dataKey)
        throw EnvelopeError(EnvelopeFailure::WrongPassword);
    return EnvelopeKeys(std::move(*dataKey), header.kdf, header.passwordWrap, header.recoveryWrap);
}

EnvelopeKeys EnvelopeKeys::unlockWithRecoveryKey(QIODevice& file, const RecoveryKey& recovery)
{
    const EnvelopeHeader header = Envelope::ReadHeader(file);
    std::optional<SecureBytes> dataKey = EnvelopeV1::Unwrap(
        header.recoveryWrap, recovery.wrappingKey(), EnvelopeV1::RecoveryWrapData());
    if (!dataKey)
        throw EnvelopeError(EnvelopeFailure::WrongRecoveryKey);
    return EnvelopeKeys(std::move(*dataKey), header.kdf, header.passwordWrap, header.recoveryWrap);
}

EnvelopeKeys EnvelopeKeys::withPassword(const SecureBytes& password, const Argon2Kdf& kdf) const
{
    const QByteArray passwordWrap =
        EnvelopeV1::Wrap(mDataKey, kdf.deriveKey(password), EnvelopeV1::PasswordWrapData(kdf));
    return EnvelopeKeys(mDataKey.clone(), kdf, passwordWrap, mRecoveryWrap);
}

EnvelopeKeys EnvelopeKeys::clone() const
{
    return EnvelopeKeys(mDataKey.clone(), mKdf, mPasswordWrap, mRecoveryWrap);
}

namespace Envelope {

bool Starts(const QByteArray& start)
{
    return start.startsWith(kMagic);
}

EnvelopeHeader ReadHeader(QIODevice& file)
{
    if (!file.seek(0))
        throw EnvelopeError(EnvelopeFailure::NotEncrypted);
    const QByteArray start = file.peek(kVersionEnd);
    if (!Starts(start))
        throw EnvelopeError(EnvelopeFailure::NotEncrypted);
    if (start.size() < kVersionEnd)
        throw EnvelopeError(EnvelopeFailure::Damaged);
    // One reader per version, each kept for as long as files of its
    // version may exist.
    const int version = qFromLittleEndian<quint16>(start.constData() + kMagic.size());
    switch (version) {
    case EnvelopeV1::kVersion:
        return EnvelopeV1::ReadHeader(file);
    default:
        throw EnvelopeError(EnvelopeFailure::UnknownVersion, version);
    }
}

EnvelopeHeader ReadHeader(const QByteArray& file)
{
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return ReadHeader(buffer);
}

QByteArray Seal(const EnvelopeKeys& keys, const unsigned char* data, std::size_t size)
{
    static_assert(kVersion == EnvelopeV1::kVersion);
    QByteArray file(EnvelopeV1::FileSize(size), Qt::Uninitialized);
    file.replace(0, EnvelopeV1::kHeaderSize, EnvelopeV1::Header(keys));
    const SecureBytes payloadKey = EnvelopeV1::PayloadKey(keys);
    for (qint64 i = 0; i < EnvelopeV1::ChunkCount(size); ++i)
        EnvelopeV1::SealChunk(file, payloadKey, i, data, size);
    EnvelopeV1::SealFile(file, EnvelopeV1::SealKey(keys), size);
    return file;
}

QByteArray Seal(const EnvelopeKeys& keys, const QByteArray& payload)
{
    return Seal(keys, reinterpret_cast<const unsigned char*>(payload.constData()),
                std::size_t(payload.size()));
}

void Open(const EnvelopeKeys& keys, const QByteArray& file,
          const std::function<unsigned char*(std::size_t)>& allocate)
{
    const EnvelopeHeader header = ReadHeader(file);
    switch (header.version) {
    case EnvelopeV1::kVersion:
        EnvelopeV1::Open(keys, header, file, allocate);
        return;
    default:
        throw EnvelopeError(EnvelopeFailure::UnknownVersion, header.version);
    }
}

QByteArray Open(const EnvelopeKeys& keys, const QByteArray& file)
{
    QByteArray payload;
    try {
        Open(keys, file, [&](std::size_t size) {
            payload.resize(qsizetype(size));
            return reinterpret_cast<unsigned char*>(payload.data());
        });
    } catch (...) {
        if (!payload.isEmpty())
            sodium_memzero(payload.data(), std::size_t(payload.size()));
        throw;
    }
    return payload;
}

} // namespace Envelope

EnvelopeSealer::EnvelopeSealer(const EnvelopeKeys& keys)
    : mHeader(EnvelopeV1::Header(keys)), mPayloadKey(EnvelopeV1::PayloadKey(keys)),
      mSealKey(EnvelopeV1::SealKey(keys))
{}

EnvelopeSealer::~EnvelopeSealer()
{
    if (mPayload) {
        sodium_memzero(mPayload, mPayloadCapacity);
        std::free(mPayload);
    }
}

bool EnvelopeSealer::sealsWith(const EnvelopeKeys& keys) const
{
    // The header holds the wrapped keys, which are random for every data
    // key and every password.
    return EnvelopeV1::Header(keys) == mHeader;
}

void EnvelopeSealer::adopt(const QByteArray& file, const unsigned char* payload, std::size_t size)
{
    mFile = file;
    reserve(size);
    if (size > 0)
        std::memcpy(mPayload, payload, size);
    mPayloadSize = size;
}

void EnvelopeSealer::reserve(std::size_t size)
{
    if (size <= mPayloadCapacity)
        return;
    // Grown by a new block, never by realloc, so that the old one is wiped.
    const std::size_t capacity = size + size / 4;
    auto* grown = static_cast<unsigned char*>(std::malloc(capacity));
    if (!grown)
        throw std::bad_alloc();
    if (mPayload) {
        std::memcpy(grown, mPayload, mPayloadSize);
        sodium_memzero(mPayload, mPayloadCapacity);
        std::free(mPayload);
    }
    mPayload = grown;
    mPayloadCapacity = capacity;
}

const QByteArray& EnvelopeSealer::seal(const unsigned char* data, std::size_t size)
{
    using namespace EnvelopeV1;
    const qint64 chunks = ChunkCount(size);
    const qint64 keptChunks = mFile.isEmpty() ? 0 : ChunkCount(mPayloadSize);
    reserve(size);
    // Chunks sit at fixed places, so resizing keeps every full chunk where
    // it was; only the last one and the seal move.
    mFile.resize(FileSize(size));
    mFile.replace(0, kHeaderSize, mHeader);
    for (qint64 i = 0; i < chunks; ++i) {
        const qint64 at = i * kChunk;
        const qint64 length = std::min<qint64>(kChunk, qint64(size) - at);
        const qint64 keptLength = std::min<qint64>(kChunk, qint64(mPayloadSize) - at);
        // A chunk is kept where it holds the same bytes at the same place:
        // its associated data (header and number) is the same too.
        if (i < keptChunks && length == keptLength &&
            std::memcmp(data + at, mPayload + at, std::size_t(length)) == 0)
            continue;
        SealChunk(mFile, mPayloadKey, i, data, size);
        std::memcpy(mPayload + at, data + at, std::size_t(length));
    }
    mPayloadSize = size;
    SealFile(mFile, mSealKey, size);
    return mFile;
}
