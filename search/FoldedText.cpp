#include "search/FoldedText.h"

#include <QHash>

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <bitset>
#include <memory>
#include <vector>

namespace {

// How a character of the Basic Multilingual Plane folds on its own.
enum Fold : quint8
{
    Same,     // into itself
    One,      // into one other UTF-16 unit
    Many,     // into several units
    Surrogate // half of a character beyond the plane
};

bool isHangulVowelOrTrail(char32_t c)
{
    return (c >= 0x1161 && c <= 0x1175) || (c >= 0x11A8 && c <= 0x11C2);
}

// Full case folding (ß → ss, İ → i̇, ŉ → ʼn), which Qt's toCaseFolded does
// not do: it folds one character into one only.
QString foldCase(const QString& text)
{
    // No character folds into more than three UTF-16 units.
    QString out(text.size() * 3, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                                         reinterpret_cast<const UChar*>(text.utf16()),
                                         int32_t(text.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return text;
    out.truncate(length);
    return out;
}

// Kana, CJK symbols and ideographs (U+3000 to U+9FFF) have no letter case.
bool caseless(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF; });
}

QString foldAlone(const QString& piece)
{
    const QString compatible = piece.normalized(QString::NormalizationForm_KC);
    if (caseless(compatible))
        return compatible;
    const QString folded = foldCase(compatible);
    // What folding gives may be composed otherwise (ǰ folds into j with a
    // combining caron, which then moves behind a mark below it).
    return folded == compatible ? folded : folded.normalized(QString::NormalizationForm_KC);
}

// Per character of the plane: its fold, and whether it joins the character
// before it (so that NFKC may compose the two, or reorder marks across them).
// Built once, on first use.
class FoldTable
{
public:
    FoldTable() : mFold(0x10000), mOne(0x10000)
    {
        // Starters that a canonical composition takes as its second
        // character (the Tamil, Kannada, Malayalam ... vowel parts): NFKC
        // may merge them into the character before them.
        for (char32_t c = 0; c < 0x20000; ++c) {
            if (QChar::decompositionTag(c) != QChar::Canonical)
                continue;
            const QString parts = QChar::decomposition(c);
            const QList<uint> points = parts.toUcs4();
            if (points.size() == 2 && QChar::combiningClass(char32_t(points[1])) == 0)
                mSecondStarters.push_back(points[1]);
        }
        std::sort(mSecondStarters.begin(), mSecondStarters.end());
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000) {
                mFold[c] = Surrogate;
                continue;
            }
            mJoins[c] = joinsSlow(c);
            const QString alone = QString(QChar(char16_t(c)));
            const QString folded = foldAlone(alone);
            if (folded == alone) {
                mFold[c] = Same;
            } else if (folded.size() == 1) {
                mFold[c] = One;
                mOne[c] = folded.at(0).unicode();
            } else {
                mFold[c] = Many;
                mMany.insert(char16_t(c), folded);
            }
        }
    }

    Fold fold(char16_t c) const { return Fold(mFold[c]); }
    char16_t one(char16_t c) const { return mOne[c]; }
    QString many(char16_t c) const { return mMany.value(c); }
    bool joins(char32_t c) const { return c < 0x10000 ? mJoins[c] : joinsSlow(c); }

private:
    bool joinsSlow(char32_t c) const
    {
        if (QChar::combiningClass(c) != 0 || isHangulVowelOrTrail(c))
            return true;
        char32_t first = c;
        if (QChar::decompositionTag(c) != QChar::NoDecomposition) {
            const QList<uint> points =
                QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD).toUcs4();
            if (points.isEmpty())
                return false;
            first = points.front();
            if (QChar::combiningClass(first) != 0 || isHangulVowelOrTrail(first))
                return true;
        }
        return std::binary_search(mSecondStarters.begin(), mSecondStarters.end(), uint(first));
    }

    std::vector<quint8> mFold;
    std::vector<char16_t> mOne;
    QHash<char16_t, QString> mMany;
    std::bitset<0x10000> mJoins;
    std::vector<uint> mSecondStarters;
};

const FoldTable& foldTable()
{
    static const auto table = std::make_unique<FoldTable>();
    return *table;
}

// Appends the folded form of `piece`, a character with the marks that join
// it.
void appendFolded(const FoldTable& table, QStringView piece, QString& out)
{
    if (piece.size() != 1) {
        out.append(foldAlone(piece.toString()));
        return;
    }
    const char16_t c = piece.front().unicode();
    switch (table.fold(c)) {
    case Same:
    case Surrogate: // one without its other half stays as it is
        out.append(QChar(c));
        break;
    case One:
        out.append(QChar(table.one(c)));
        break;
    case Many:
        out.append(table.many(c));
        break;
    }
}

// Length in UTF-16 units of the character at `i`.
qsizetype unitsAt(const char16_t* p, qsizetype n, qsizetype i)
{
    return QChar::isHighSurrogate(p[i]) && i + 1 < n && QChar::isLowSurrogate(p[i + 1]) ? 2 : 1;
}

char32_t pointAt(const char16_t* p, qsizetype n, qsizetype i)
{
    return unitsAt(p, n, i) == 2 ? QChar::surrogateToUcs4(p[i], p[i + 1]) : char32_t(p[i]);
}

bool isKatakana(char16_t c)
{
    return (c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE;
}

} // namespace

FoldedText::FoldedText(const QString& original) : mOriginalLength(int(original.size()))
{
    const FoldTable& table = foldTable();
    const char16_t* p = reinterpret_cast<const char16_t*>(original.utf16());
    const qsizetype n = original.size();

    // Most text folds into itself: it is shared as it is.
    qsizetype i = 0;
    while (i < n && table.fold(p[i]) == Same && !table.joins(p[i]))
        ++i;
    if (i == n) {
        mText = original;
        mKana = kanaAsHiragana(mText);
        return;
    }
    // The character before a joining one starts the piece they form.
    if (i > 0 && table.joins(pointAt(p, n, i)))
        --i;

    QString out;
    out.reserve(n);
    out.append(QStringView(p, i));
    while (i < n) {
        const qsizetype start = i;
        i += unitsAt(p, n, i);
        while (i < n && table.joins(pointAt(p, n, i)))
            i += unitsAt(p, n, i);
        const qsizetype length = i - start;
        const qsizetype foldedStart = out.size();
        appendFolded(table, QStringView(p + start, length), out);
        const QStringView folded = QStringView(out).sliced(foldedStart);
        if (folded.size() != length ||
            (length > unitsAt(p, n, start) && folded != QStringView(p + start, length)))
            trace(QStringView(p, n), start, i, folded, foldedStart);
    }
    mText = out;
    mKana = kanaAsHiragana(mText);
}

void FoldedText::trace(QStringView original, qsizetype start, qsizetype end, QStringView folded,
                       qsizetype foldedStart)
{
    // A piece that folds into what its two parts fold into, one after the
    // other, is traced part by part: a hit on ガ folded from ｶﾞﾞ covers ｶﾞ,
    // not the stray mark after it that joins the piece.
    const FoldTable& table = foldTable();
    const char16_t* p = original.utf16();
    const qsizetype n = original.size();
    QString left;
    QString right;
    for (qsizetype k = start + unitsAt(p, n, start); k < end; k += unitsAt(p, n, k)) {
        left.clear();
        appendFolded(table, QStringView(p + start, k - start), left);
        if (!folded.startsWith(left))
            continue;
        right.clear();
        appendFolded(table, QStringView(p + k, end - k), right);
        if (folded.size() == left.size() + right.size() && folded.endsWith(right)) {
            const qsizetype split = left.size();
            trace(original, start, k, folded.first(split), foldedStart);
            trace(original, k, end, folded.sliced(split), foldedStart + split);
            return;
        }
    }
    const qsizetype length = end - start;
    if (folded.size() != length ||
        (length > unitsAt(p, n, start) && folded != QStringView(p + start, length)))
        mResized.append({int(foldedStart), int(folded.size()), int(start), int(end - start)});
}

std::pair<int, int> FoldedText::originalSpan(int start, int end) const
{
    if (mResized.isEmpty())
        return {start, end};
    auto endOf = [](const Resized& r) {
        return r.foldedStart + r.foldedLength;
    };
    auto after = [&](const Resized& r, int k) {
        return r.originalStart + r.originalLength + (k - endOf(r));
    };
    // The last resized piece that begins at or before `start`.
    auto s = std::upper_bound(mResized.begin(), mResized.end(), start,
                              [](int k, const Resized& r) { return k < r.foldedStart; });
    int originalStart = start;
    if (s != mResized.begin()) {
        const Resized& r = *(s - 1);
        originalStart = start < endOf(r) ? r.originalStart : after(r, start);
    }
    // The last resized piece that begins before `end`.
    auto e = std::lower_bound(mResized.begin(), mResized.end(), end,
                              [](const Resized& r, int k) { return r.foldedStart < k; });
    int originalEnd = end;
    if (e != mResized.begin()) {
        const Resized& r = *(e - 1);
        originalEnd = end <= endOf(r) ? r.originalStart + r.originalLength : after(r, end);
    }
    return {originalStart, originalEnd};
}

QString FoldedText::kanaAsHiragana(const QString& folded)
{
    const auto first = std::find_if(folded.cbegin(), folded.cend(),
                                    [](QChar c) { return isKatakana(c.unicode()); });
    if (first == folded.cend())
        return folded;
    QString out = folded;
    for (qsizetype i = first - folded.cbegin(); i < out.size(); ++i) {
        const char16_t c = out.at(i).unicode();
        if (isKatakana(c))
            out[i] = QChar(char16_t(c - 0x60));
    }
    return out;
}
