#include "store/RecoveryKey.h"

#include <sodium.h>

namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int kGroup = 4;
// Separates the derived wrapping key from any other use of the same bits.
constexpr char kContext[] = "Zedu recovery key";

static_assert(RecoveryKey::kBytes * 8 == RecoveryKey::kSymbols * 5);

int symbolValue(char32_t c)
{
    switch (c) {
    case U'O':
        return 0;
    case U'I':
    case U'L':
        return 1;
    default:
        break;
    }
    for (int i = 0; i < 32; ++i)
        if (char32_t(kAlphabet[i]) == c)
            return i;
    return -1;
}

bool isSeparator(char32_t c)
{
    switch (c) {
    case U'-':
    case U'\u2010': // hyphen
    case U'\u2011': // non-breaking hyphen
    case U'\u2012': // figure dash
    case U'\u2013': // en dash
    case U'\u2014': // em dash
    case U'\u2015': // horizontal bar
    case U'\u2212': // minus sign
    case U'\u30FC': // katakana long-vowel mark, what a Japanese keyboard gives for "-"
        return true;
    default:
        return c < 0x10000 && QChar(char16_t(c)).isSpace();
    }
}

} // namespace

RecoveryKey RecoveryKey::generate()
{
    return RecoveryKey(SecureBytes::random(kBytes));
}

std::optional<RecoveryKey> RecoveryKey::parse(const QString& text)
{
    // NFKC turns full-width letters, digits and hyphen-minus into ASCII.
    QString folded = text.normalized(QString::NormalizationForm_KC).toUpper();
    SecureBytes bytes(kBytes);
    int symbols = 0;
    int written = 0;
    quint32 buffer = 0;
    int bits = 0;
    bool ok = true;
    for (char32_t c : folded.toUcs4()) {
        if (isSeparator(c))
            continue;
        const int value = symbolValue(c);
        if (value < 0 || symbols == kSymbols) {
            ok = false;
            break;
        }
        ++symbols;
        buffer = (buffer << 5) | quint32(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes.data()[written++] = static_cast<unsigned char>(buffer >> bits);
            buffer &= (1u << bits) - 1;
        }
    }
    sodium_memzero(folded.data(), std::size_t(folded.size()) * sizeof(QChar));
    buffer = 0;
    if (!ok || symbols != kSymbols)
        return std::nullopt;
    return RecoveryKey(std::move(bytes));
}

QString RecoveryKey::text() const
{
    QString out;
    quint32 buffer = 0;
    int bits = 0;
    int symbols = 0;
    for (std::size_t i = 0; i < mBytes.size(); ++i) {
        buffer = (buffer << 8) | mBytes.data()[i];
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            if (symbols > 0 && symbols % kGroup == 0)
                out += QLatin1Char('-');
            out += QLatin1Char(kAlphabet[(buffer >> bits) & 31]);
            ++symbols;
        }
        buffer &= (1u << bits) - 1;
    }
    return out;
}

SecureBytes RecoveryKey::wrappingKey() const
{
    SecureBytes key(crypto_generichash_BYTES);
    crypto_generichash(key.data(), key.size(), reinterpret_cast<const unsigned char*>(kContext),
                       sizeof(kContext) - 1, mBytes.data(), mBytes.size());
    return key;
}
