#include "platform/PasswordStrength.h"

#include <QList>

#include <zxcvbn.h>

#include <algorithm>
#include <cmath>

namespace {

// At most this much for a character outside ASCII (log2 of 2,000 or so).
constexpr double kBitsPerOtherCharacter = 11.0;

// zxcvbn's entropy of `text`; the copy handed to it is wiped after.
double entropyOf(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    const double bits = ZxcvbnMatch(bytes.constData(), nullptr, nullptr);
    bytes.fill('\0');
    return bits;
}

} // namespace

PasswordStrength EstimatePasswordStrength(const QString& password)
{
    if (password.isEmpty())
        return PasswordStrength::Weak;
    QString folded = password.normalized(QString::NormalizationForm_KC);
    QString ascii;
    int others = 0;
    for (const char32_t c : folded.toUcs4()) {
        if (c < 0x80)
            ascii.append(QChar(char16_t(c)));
        else
            ++others;
    }
    double bits = entropyOf(folded);
    if (others > 0)
        bits = std::min(bits, entropyOf(ascii) + kBitsPerOtherCharacter * others);
    folded.fill(QLatin1Char('\0'));
    ascii.fill(QLatin1Char('\0'));
    // Guesses = 2^bits, compared as powers of ten.
    const double digits = bits * std::log10(2.0);
    if (digits < 6)
        return PasswordStrength::Weak;
    if (digits < 10)
        return PasswordStrength::Fair;
    return PasswordStrength::Strong;
}

QString PasswordStrengthWord(PasswordStrength strength)
{
    switch (strength) {
    case PasswordStrength::Weak:
        return QStringLiteral("弱い");
    case PasswordStrength::Fair:
        return QStringLiteral("普通");
    case PasswordStrength::Strong:
        return QStringLiteral("強い");
    }
    return QString();
}
