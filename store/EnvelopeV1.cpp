#include "store/EnvelopeV1.h"

#include <QtEndian>

#include <sodium.h>

#include <vector>

namespace EnvelopeV1 {

namespace {

const QByteArray kMagic("ZEDU-ENC", 8);

static_assert(kWrapSize == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES + Argon2Kdf::kKeyBytes +
                               crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(kChecksumAt - kStreamHeaderAt == crypto_secretstream_xchacha20poly1305_HEADERBYTES);
static_assert(kHeaderSize - kChecksumAt == crypto_generichash_BYTES);
static_assert(kChunkOverhead == crypto_secretstream_xchacha20poly1305_ABYTES);
static_assert(kRecoveryWrapAt == kPasswordWrapAt + kWrapSize);
static_assert(kStreamHeaderAt == kRecoveryWrapAt + kWrapSize);

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

[[noreturn]] void damaged()
{
    throw EnvelopeError(EnvelopeFailure::Damaged);
}

// Reads exactly `size` bytes; a file that ends early is damaged.
void readExactly(QIODevice& in, char* to, qint64 size)
{
    if (in.read(to, size) != size)
        damaged();
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
    header.streamHeader = b.mid(kStreamHeaderAt, kChecksumAt - kStreamHeaderAt);
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
    constexpr int nonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
    QByteArray out(kWrapSize, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, nonceBytes);
    unsigned long long written = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + nonceBytes, &written, dataKey.data(), dataKey.size(), bytesOf(associated),
        std::size_t(associated.size()), nullptr, nonce, wrappingKey.data());
    return out;
}

std::optional<SecureBytes> Unwrap(const QByteArray& wrapped, const SecureBytes& wrappingKey,
                                  const QByteArray& associated)
{
    constexpr int nonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
    if (wrapped.size() != kWrapSize)
        return std::nullopt;
    SecureBytes key(Argon2Kdf::kKeyBytes);
    unsigned long long written = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            key.data(), &written, nullptr, bytesOf(wrapped) + nonceBytes,
            std::size_t(kWrapSize - nonceBytes), bytesOf(associated),
            std::size_t(associated.size()), bytesOf(wrapped), wrappingKey.data()) != 0)
        return std::nullopt;
    return key;
}

bool Seal(const EnvelopeKeys& keys, const unsigned char* data, std::size_t size, QIODevice& out)
{
    crypto_secretstream_xchacha20poly1305_state state;
    unsigned char streamHeader[crypto_secretstream_xchacha20poly1305_HEADERBYTES];
    crypto_secretstream_xchacha20poly1305_init_push(&state, streamHeader, keys.dataKey().data());
    QByteArray header = prefix(keys.kdf()) + keys.passwordWrap() + keys.recoveryWrap();
    header.append(reinterpret_cast<const char*>(streamHeader), sizeof streamHeader);
    header += checksum(header);
    bool ok = out.write(header) == header.size();

    std::vector<unsigned char> chunk(std::size_t(kChunk + kChunkOverhead));
    std::size_t done = 0;
    bool first = true;
    // At least one chunk, the last one FINAL: an empty payload is one empty
    // chunk, and a file cut off at a chunk boundary lacks the FINAL tag.
    while (ok && (first || done < size)) {
        const std::size_t length = std::min<std::size_t>(kChunk, size - done);
        const bool last = done + length == size;
        unsigned long long written = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &state, chunk.data(), &written, data + done, length, first ? bytesOf(header) : nullptr,
            first ? std::size_t(header.size()) : 0,
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                 : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE);
        ok = out.write(reinterpret_cast<const char*>(chunk.data()), qint64(written)) ==
             qint64(written);
        done += length;
        first = false;
    }
    sodium_memzero(&state, sizeof state);
    return ok;
}

void Open(const EnvelopeKeys& keys, const EnvelopeHeader& header, QIODevice& in,
          const std::function<unsigned char*(std::size_t)>& allocate)
{
    // Every chunk but the last is full, so the sizes tell how many there
    // are; a file of any other length was cut short or extended.
    const qint64 payload = in.size() - kHeaderSize;
    constexpr qint64 fullChunk = kChunk + kChunkOverhead;
    if (payload < kChunkOverhead)
        damaged();
    const qint64 chunks = (payload + fullChunk - 1) / fullChunk;
    const qint64 lastChunk = payload - (chunks - 1) * fullChunk;
    if (lastChunk < kChunkOverhead)
        damaged();
    const std::size_t plainSize = std::size_t(payload - chunks * kChunkOverhead);

    crypto_secretstream_xchacha20poly1305_state state;
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, bytesOf(header.streamHeader),
                                                        keys.dataKey().data()) != 0)
        damaged();
    unsigned char* plain = allocate(plainSize);
    if (!in.seek(kHeaderSize))
        damaged();
    std::vector<unsigned char> chunk(static_cast<std::size_t>(fullChunk));
    std::size_t done = 0;
    bool ok = true;
    for (qint64 i = 0; ok && i < chunks; ++i) {
        const qint64 length = i + 1 == chunks ? lastChunk : fullChunk;
        readExactly(in, reinterpret_cast<char*>(chunk.data()), length);
        unsigned long long written = 0;
        unsigned char tag = 0;
        ok = crypto_secretstream_xchacha20poly1305_pull(
                 &state, plain + done, &written, &tag, chunk.data(), std::size_t(length),
                 i == 0 ? bytesOf(header.bytes) : nullptr,
                 i == 0 ? std::size_t(header.bytes.size()) : 0) == 0;
        const unsigned char expected = i + 1 == chunks
                                           ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                           : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
        ok = ok && tag == expected;
        done += std::size_t(written);
    }
    sodium_memzero(&state, sizeof state);
    if (!ok)
        damaged();
}

} // namespace EnvelopeV1
