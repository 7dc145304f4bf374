#include "store/Envelope.h"

#include "store/EnvelopeV1.h"

#include <QBuffer>
#include <QtEndian>

#include <sodium.h>

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

bool Seal(const EnvelopeKeys& keys, const unsigned char* data, std::size_t size, QIODevice& out)
{
    static_assert(kVersion == EnvelopeV1::kVersion);
    return EnvelopeV1::Seal(keys, data, size, out);
}

void Open(const EnvelopeKeys& keys, QIODevice& in,
          const std::function<unsigned char*(std::size_t)>& allocate)
{
    const EnvelopeHeader header = ReadHeader(in);
    switch (header.version) {
    case EnvelopeV1::kVersion:
        EnvelopeV1::Open(keys, header, in, allocate);
        return;
    default:
        throw EnvelopeError(EnvelopeFailure::UnknownVersion, header.version);
    }
}

QByteArray SealBytes(const EnvelopeKeys& keys, const QByteArray& payload)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    Seal(keys, reinterpret_cast<const unsigned char*>(payload.constData()),
         std::size_t(payload.size()), buffer);
    return out;
}

QByteArray OpenBytes(const EnvelopeKeys& keys, const QByteArray& file)
{
    QByteArray copy = file;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QByteArray payload;
    Open(keys, buffer, [&](std::size_t size) {
        payload.resize(qsizetype(size));
        return reinterpret_cast<unsigned char*>(payload.data());
    });
    return payload;
}

} // namespace Envelope
