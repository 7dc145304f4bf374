#pragma once

#include "store/SecureBytes.h"

#include <QList>
#include <QString>

#include <optional>

// The key that opens an encrypted calendar when its password is forgotten:
// 160 random bits, shown to the user once as 32 letters and digits in eight
// groups of four ("7KQ2-M9XD-..."). The alphabet is Crockford's base 32
// (digits and capital letters without I, L, O and U), so that no two symbols
// are easily mistaken for each other when written down by hand.
class RecoveryKey
{
public:
    static constexpr int kBytes = 20;
    static constexpr int kSymbols = 32;

    static RecoveryKey generate();
    // Reads a key as a person types it back: letter case, spaces, line
    // breaks and hyphens (also full-width ones and the long-vowel mark
    // that Japanese input gives for "-") do not matter, full-width letters
    // and digits count as their ASCII forms, and O, I and L are read as 0, 1
    // and 1. Empty when the text does not hold exactly 32 symbols of the
    // alphabet.
    static std::optional<RecoveryKey> parse(const QString& text);

    // The key in its written form.
    QString text() const;
    // The 32-byte key that wraps the data key, derived from the random bits.
    SecureBytes wrappingKey() const;

private:
    explicit RecoveryKey(SecureBytes bytes) : mBytes(std::move(bytes)) {}
    SecureBytes mBytes;
};
