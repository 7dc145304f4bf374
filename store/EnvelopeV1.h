#pragma once

#include "store/Envelope.h"

#include <optional>

// Version 1 of the envelope. All numbers are little-endian.
//
//   offset  size  field
//        0     8  magic "ZEDU-ENC"
//        8     2  format version, 1
//       10     2  key derivation, 1 = Argon2id (version 1.3)
//       12     4  Argon2id passes (libsodium's opslimit)
//       16     4  Argon2id memory in KiB (memlimit / 1024)
//       20    16  salt
//       36    72  data key wrapped by the password key: nonce (24),
//                 XChaCha20-Poly1305 (IETF) ciphertext (32) and tag (16),
//                 associated data bytes 0-35
//      108    72  data key wrapped by the recovery key, the same way,
//                 associated data bytes 0-9
//      180    32  BLAKE2b-256 of bytes 0-179
//      212        the payload in chunks of 64 KiB (the last one shorter, an
//                 empty payload one empty chunk), each stored as nonce (24),
//                 ciphertext and tag (16): XChaCha20-Poly1305 (IETF) under
//                 the payload key, associated data bytes 0-211 and the
//                 chunk's number (64 bits)
//   end-32    32  seal: BLAKE2b-256 keyed with the seal key over the
//                 payload's size (64 bits) and every chunk's nonce and tag,
//                 in order
//
// The payload key and the seal key are derived from the data key
// (crypto_kdf_derive_from_key). Chunks are sealed on their own so that a
// write encrypts only the chunks that changed and copies the others as they
// were; the seal ties the chunks of one write together, so that a chunk from
// another write or another file, chunks in another order, and a file cut
// short are all refused.
//
// The checksum is no protection against a deliberate change (anyone can
// compute it); it tells accidental damage of the header from a wrong
// password before the key derivation runs. Deliberate changes are caught by
// the wrapped keys' tags and the chunks' tags, whose associated data holds
// the whole header.
namespace EnvelopeV1 {

constexpr int kVersion = 1;
constexpr int kKdfArgon2id = 1;

constexpr int kVersionAt = 8;
constexpr int kKdfAt = 10;
constexpr int kSaltAt = 20;
constexpr int kPasswordWrapAt = 36;
constexpr int kRecoveryWrapAt = 108;
constexpr int kChecksumAt = 180;
constexpr int kHeaderSize = 212;
constexpr int kWrapSize = 72;
constexpr int kChunk = 64 * 1024;
constexpr int kNonceBytes = 24;
constexpr int kTagBytes = 16;
constexpr int kChunkOverhead = kNonceBytes + kTagBytes;
constexpr int kSealBytes = 32;

// Reads the header at the start of `file`, whose magic and version were
// found to be version 1's. Throws EnvelopeError (Damaged).
EnvelopeHeader ReadHeader(QIODevice& file);

// The associated data of the two wrapped keys.
QByteArray PasswordWrapData(const Argon2Kdf& kdf);
QByteArray RecoveryWrapData();

// `dataKey` wrapped by `wrappingKey`, with a new random nonce.
QByteArray Wrap(const SecureBytes& dataKey, const SecureBytes& wrappingKey,
                const QByteArray& associated);
// The data key, or nothing when `wrapped` does not open with `wrappingKey`.
std::optional<SecureBytes> Unwrap(const QByteArray& wrapped, const SecureBytes& wrappingKey,
                                  const QByteArray& associated);

// The header that files sealed with `keys` start with.
QByteArray Header(const EnvelopeKeys& keys);
// The keys derived from the data key.
SecureBytes PayloadKey(const EnvelopeKeys& keys);
SecureBytes SealKey(const EnvelopeKeys& keys);

// How many chunks a payload of `size` bytes takes, and the size of a file
// holding it.
qint64 ChunkCount(std::size_t size);
qint64 FileSize(std::size_t size);
// Encrypts chunk `index` of `payload` (of `size` bytes) into its place in
// `file`, which is FileSize(size) bytes long and starts with `header`.
void SealChunk(QByteArray& file, const SecureBytes& payloadKey, qint64 index,
               const unsigned char* payload, std::size_t size);
// Writes the seal at the end of `file`.
void SealFile(QByteArray& file, const SecureBytes& sealKey, std::size_t size);

void Open(const EnvelopeKeys& keys, const EnvelopeHeader& header, const QByteArray& file,
          const std::function<unsigned char*(std::size_t)>& allocate);

} // namespace EnvelopeV1
