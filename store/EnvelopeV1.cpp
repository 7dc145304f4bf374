#include "store/EnvelopeV1.h"

#include <QtEndian>

#include <sodium.h>

namespace EnvelopeV1 {

namespace {

const QByteArray kMagic("ZEDU-ENC", 8);
// Context of the keys derived from the data key.
constexpr char kKeyContext[crypto_kdf_CONTEXTBYTES + 1] = "ZeduEnv1";
constexpr quint64 kPayloadKeyId = 1;
constexpr quint64 kSealKeyId = 2;
constexpr qint64 kRecord = kChunk + kChunkOverhead;

static_assert(kWrapSize == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES + Argon2Kdf::kKeyBytes +
                               crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(kNonceBytes == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
static_assert(kTagBytes == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(kHeaderSize - kChecksumAt == crypto_generichash_BYTES);
static_assert(kSealBytes == crypto_generichash_BYTES);
static_assert(kRecoveryWrapAt == kPasswordWrapAt + kWrapSize);
static_assert(kChecksumAt == kRecoveryWrapAt + kWrapSize);

void appendLe16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendLe32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Bytes 0-35: everything the password wrap depends on.
QByteArray prefix(const Argon2Kdf& kdf)
{
    QByteArray out = kMagic;
    appendLe16(out, kVersion);
    appendLe16(out, kKdfArgon2id);
    appendLe32(out, kdf.passes());
    appendLe32(out, kdf.memoryKiB());
    out += kdf.salt();
    return out;
}

QByteArray checksum(const QByteArray& bytes)
{
    QByteArray sum(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(sum.data()), std::size_t(sum.size()),
                       reinterpret_cast<const unsigned char*>(bytes.constData()),
                       std::size_t(bytes.size()), nullptr, 0);
    return sum;
}

const unsigned char* bytesOf(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

SecureBytes subkey(const EnvelopeKeys& keys, quint64 id)
{
    static_assert(crypto_kdf_KEYBYTES == Argon2Kdf::kKeyBytes);
    SecureBytes key(crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
    crypto_kdf_derive_from_key(key.data(), key.size(), id, kKeyContext, keys.dataKey().data());
    return key;
}

// The associated data of chunk `index`: the header and the chunk's number.
void chunkData(unsigned char* to, const QByteArray& file, qint64 index)
{
    std::memcpy(to, file.constData(), kHeaderSize);
    qToLittleEndian<quint64>(quint64(index), to + kHeaderSize);
}

// The seal over the payload size and the chunks' nonces and tags.
void computeSeal(unsigned char* to, const QByteArray& file, const SecureBytes& sealKey,
                 std::size_t size)
{
    crypto_generichash_state state;
    crypto_generichash_init(&state, sealKey.data(), sealKey.size(), kSealBytes);
    unsigned char sizeBytes[8];
    qToLittleEndian<quint64>(quint64(size), sizeBytes);
    crypto_generichash_update(&state, sizeBytes, sizeof sizeBytes);
    const qint64 chunks = ChunkCount(size);
    for (qint64 i = 0; i < chunks; ++i) {
        const qint64 at = kHeaderSize + i * kRecord;
        const qint64 length = std::min<qint64>(kChunk, qint64(size) - i * kChunk);
        crypto_generichash_update(&state, bytesOf(file) + at, kNonceBytes);
        crypto_generichash_update(&state, bytesOf(file) + at + kNonceBytes + length, kTagBytes);
    }
    crypto_generichash_final(&state, to, kSealBytes);
}

[[noreturn]] void damaged()
{
    throw EnvelopeError(EnvelopeFailure::Damaged);
}

} // namespace

EnvelopeHeader ReadHeader(QIODevice& file)
{
    EnvelopeHeader header;
    header.version = kVersion;
    if (!file.seek(0))
        damaged();
    header.bytes = file.read(kHeaderSize);
    if (header.bytes.size() != kHeaderSize)
        damaged();
    const QByteArray& b = header.bytes;
    if (checksum(b.left(kChecksumAt)) != b.mid(kChecksumAt))
        damaged();
    if (qFromLittleEndian<quint16>(b.constData() + kKdfAt) != kKdfArgon2id)
        damaged();
    header.kdf = Argon2Kdf(qFromLittleEndian<quint32>(b.constData() + kKdfAt + 2),
                           qFromLittleEndian<quint32>(b.constData() + kKdfAt + 6),
                           b.mid(kSaltAt, Argon2Kdf::kSaltBytes));
    // The checksum rules out damage, so limits outside what this program
    // would write were put there on purpose.
    if (!header.kdf.isAcceptable())
        damaged();
    header.passwordWrap = b.mid(kPasswordWrapAt, kWrapSize);
    header.recoveryWrap = b.mid(kRecoveryWrapAt, kWrapSize);
    return header;
}

QByteArray PasswordWrapData(const Argon2Kdf& kdf)
{
    return prefix(kdf);
}

QByteArray RecoveryWrapData()
{
    QByteArray out = kMagic;
    appendLe16(out, kVersion);
    return out;
}

QByteArray Wrap(const SecureBytes& dataKey, const SecureBytes& wrappingKey,
                const QByteArray& associated)
{
    QByteArray out(kWrapSize, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, kNonceBytes);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + kNonceBytes, &written, dataKey.data(), dataKey.size(), bytesOf(associated),
        std::size_t(associated.size()), nullptr, nonce, wrappingKey.data());
    return out;
}

std::optional<SecureBytes> Unwrap(const QByteArray& wrapped, const SecureBytes& wrappingKey,
                                  const QByteArray& associated)
{
    if (wrapped.size() != kWrapSize)
        return std::nullopt;
    SecureBytes key(Argon2Kdf::kKeyBytes);
    unsigned long long written = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            key.data(), &written, nullptr, bytesOf(wrapped) + kNonceBytes,
            std::size_t(kWrapSize - kNonceBytes), bytesOf(associated),
            std::size_t(associated.size()), bytesOf(wrapped), wrappingKey.data()) != 0)
        return std::nullopt;
    return key;
}

QByteArray Header(const EnvelopeKeys& keys)
{
    QByteArray header = prefix(keys.kdf()) + keys.passwordWrap() + keys.recoveryWrap();
    return header + checksum(header);
}

SecureBytes PayloadKey(const EnvelopeKeys& keys)
{
    return subkey(keys, kPayloadKeyId);
}

SecureBytes SealKey(const EnvelopeKeys& keys)
{
    return subkey(keys, kSealKeyId);
}

qint64 ChunkCount(std::size_t size)
{
    // An empty payload is one empty chunk, so that every file has one.
    return std::max<qint64>(1, (qint64(size) + kChunk - 1) / kChunk);
}

qint64 FileSize(std::size_t size)
{
    return kHeaderSize + qint64(size) + ChunkCount(size) * kChunkOverhead + kSealBytes;
}

void SealChunk(QByteArray& file, const SecureBytes& payloadKey, qint64 index,
               const unsigned char* payload, std::size_t size)
{
    auto* record = reinterpret_cast<unsigned char*>(file.data()) + kHeaderSize + index * kRecord;
    const qint64 length = std::min<qint64>(kChunk, qint64(size) - index * kChunk);
    unsigned char associated[kHeaderSize + 8];
    chunkData(associated, file, index);
    randombytes_buf(record, kNonceBytes);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        record + kNonceBytes, &written, payload + index * kChunk, std::size_t(length), associated,
        sizeof associated, nullptr, record, payloadKey.data());
}

void SealFile(QByteArray& file, const SecureBytes& sealKey, std::size_t size)
{
    computeSeal(reinterpret_cast<unsigned char*>(file.data()) + file.size() - kSealBytes, file,
                sealKey, size);
}

void Open(const EnvelopeKeys& keys, const EnvelopeHeader& header, const QByteArray& file,
          const std::function<unsigned char*(std::size_t)>& allocate)
{
    // Every chunk but the last is full, so the file's size tells the
    // payload's; a file of any other length was cut short or extended.
    const qint64 stored = file.size() - kHeaderSize - kSealBytes;
    if (stored < kChunkOverhead)
        damaged();
    const qint64 chunks = (stored + kRecord - 1) / kRecord;
    const qint64 last = stored - (chunks - 1) * kRecord;
    if (last < kChunkOverhead || (chunks > 1 && last == kChunkOverhead))
        damaged();
    const std::size_t size = std::size_t(stored - chunks * kChunkOverhead);
    if (FileSize(size) != file.size() || file.left(kHeaderSize) != header.bytes)
        damaged();

    // The seal first: it is cheap, and a file put together from chunks of
    // several writes fails it even where each chunk would open.
    unsigned char seal[kSealBytes];
    computeSeal(seal, file, SealKey(keys), size);
    if (sodium_memcmp(seal, bytesOf(file) + file.size() - kSealBytes, kSealBytes) != 0)
        damaged();

    const SecureBytes payloadKey = PayloadKey(keys);
    unsigned char* payload = allocate(size);
    unsigned char associated[kHeaderSize + 8];
    for (qint64 i = 0; i < chunks; ++i) {
        const unsigned char* record = bytesOf(file) + kHeaderSize + i * kRecord;
        const qint64 length = std::min<qint64>(kChunk, qint64(size) - i * kChunk);
        chunkData(associated, file, i);
        unsigned long long written = 0;
        if (crypto_aead_xchacha20poly1305_ietf_decrypt(
                payload + i * kChunk, &written, nullptr, record + kNonceBytes,
                std::size_t(length + kTagBytes), associated, sizeof associated, record,
                payloadKey.data()) != 0)
            damaged();
    }
}

} // namespace EnvelopeV1
