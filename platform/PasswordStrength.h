#pragma once

#include <QString>

// How hard a password is to guess, from zxcvbn's estimate of the guesses an
// attacker needs (2 to the power of the entropy it returns, in bits):
// fewer than a million guesses is weak, fewer than ten thousand million
// fair, more strong. A calendar's password key takes about half a second
// to derive: a million guesses take one processor core about six days, ten
// thousand million more than a century.
//
// zxcvbn knows English words and keyboard patterns, and takes every byte
// outside ASCII for a random one: it would rate three kanji above a long
// English phrase. A character outside ASCII therefore counts for at most
// 11 bits, as if drawn at random from some 2,000 kanji and kana in common
// use. Full-width letters and digits count as the ASCII ones they stand for.
enum class PasswordStrength
{
    Weak,
    Fair,
    Strong
};

// Below this the new-password box asks before it takes a password.
constexpr PasswordStrength kPasswordStrengthWarnedBelow = PasswordStrength::Fair;

// The estimated strength of `password`; an empty one is weak.
PasswordStrength EstimatePasswordStrength(const QString& password);
// The strength as the new-password box names it: 弱い, 普通 or 強い.
QString PasswordStrengthWord(PasswordStrength strength);
