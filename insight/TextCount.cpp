#include "insight/TextCount.h"

#include <QTextBoundaryFinder>

#include <bitset>
#include <memory>

namespace {

// Code units whose grapheme cluster break property is Other, Control, CR or
// LF and that are not Hangul jamo or syllables: between two of them there is
// always a cluster boundary (except CR LF, which is a line break anyway).
// What a Japanese diary is mostly written in, so that it is counted unit by
// unit; every other unit (combining marks, the half-width voiced sound marks,
// joiners, variation selectors, surrogates of emoji, ...) sends its line to
// QTextBoundaryFinder.
constexpr struct
{
    char16_t first, last;
} kAloneRanges[] = {
    {0x0000, 0x02FF}, // ASCII, controls, Latin-1, Latin Extended, IPA, modifier letters
    {0x2000, 0x200B}, // spaces, zero width space
    {0x200E, 0x20CF}, // punctuation, super- and subscripts, currency (not 20D0- marks)
    {0x2100, 0x2BFF}, // letterlike, arrows, mathematics, box drawing, shapes, symbols
    {0x3000, 0x3029}, // CJK symbols and punctuation (not the tone marks 302A-302F)
    {0x3030, 0x3098}, // ..., hiragana (not the combining voiced marks 3099, 309A)
    {0x309B, 0x30FF}, // spacing voiced marks, katakana
    {0x3100, 0x9FFF}, // bopomofo, compatibility jamo, kanbun, enclosed, CJK ideographs
    {0xF900, 0xFAFF}, // CJK compatibility ideographs
    {0xFF01, 0xFF9D}, // full-width forms, half-width katakana (not the marks FF9E, FF9F)
    {0xFFE0, 0xFFEE}, // full-width signs
};

const std::bitset<65536>& aloneUnits()
{
    static const std::unique_ptr<std::bitset<65536>> units = [] {
        auto set = std::make_unique<std::bitset<65536>>();
        for (const auto& range : kAloneRanges)
            for (char32_t c = range.first; c <= range.last; ++c)
                set->set(c);
        return set;
    }();
    return *units;
}

int clusters(QStringView line)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.data(), line.size());
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

bool StandsAlone(char16_t c)
{
    return aloneUnits().test(c);
}

TextCount CountText(QStringView text)
{
    const std::bitset<65536>& alone = aloneUnits();
    TextCount count;
    qint64 characters = 0;
    qsizetype lineStart = 0;
    bool plain = true;
    // Clusters never reach across a line break, so each line is counted on
    // its own, and only lines with a unit that may join go to the finder.
    auto endLine = [&](qsizetype end) {
        if (plain)
            characters += end - lineStart;
        else
            characters += clusters(text.sliced(lineStart, end - lineStart));
    };
    const qsizetype size = text.size();
    const QChar* units = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = units[i].unicode();
        if (c == u'\r' || c == u'\n') {
            endLine(i);
            lineStart = i + 1;
            plain = true;
            continue;
        }
        if (!alone.test(c))
            plain = false;
        if (!count.written && (c > 0x20 && c < 0x7F ? true : !QChar::isSpace(char32_t(c))))
            count.written = true;
    }
    endLine(size);
    if (count.written)
        count.characters = int(std::min<qint64>(characters, std::numeric_limits<int>::max()));
    return count;
}
