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
//      180    24  header of the payload's secretstream
//      204    32  BLAKE2b-256 of bytes 0-203
//      236        payload: libsodium's secretstream (XChaCha20-Poly1305)
//                 under the data key, in chunks of 64 KiB (the last one
//                 shorter, possibly empty) of 17 more bytes each; the first
//                 chunk carries bytes 0-235 as associated data, the last one
//                 the FINAL tag.
//
// The checksum is no protection against a deliberate change (anyone can
// compute it); it tells accidental damage of the header from a wrong
// password before the key derivation runs. Deliberate changes are caught by
// the wrapped keys' tags and by the payload's, which covers the whole header.
namespace EnvelopeV1 {

constexpr int kVersion = 1;
constexpr int kKdfArgon2id = 1;

constexpr int kVersionAt = 8;
constexpr int kKdfAt = 10;
constexpr int kSaltAt = 20;
constexpr int kPasswordWrapAt = 36;
constexpr int kRecoveryWrapAt = 108;
constexpr int kStreamHeaderAt = 180;
constexpr int kChecksumAt = 204;
constexpr int kHeaderSize = 236;
constexpr int kWrapSize = 72;
constexpr int kChunk = 64 * 1024;
constexpr int kChunkOverhead = 17;

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

bool Seal(const EnvelopeKeys& keys, const unsigned char* data, std::size_t size, QIODevice& out);
void Open(const EnvelopeKeys& keys, const EnvelopeHeader& header, QIODevice& in,
          const std::function<unsigned char*(std::size_t)>& allocate);

} // namespace EnvelopeV1
