#include "insight/TextCount.h"

#include <QTextBoundaryFinder>

#include <bitset>
#include <limits>
#include <memory>

namespace {

// Code units whose grapheme cluster break property is Other, Control, CR or
// LF and that are not Hangul jamo or syllables: between two of them there is
// always a cluster boundary (except CR LF, which is a line break anyway).
// What a Japanese diary is mostly written in, so that it is counted unit by
// unit; every other unit (combining marks, the half-width voiced sound marks,
// joiners, variation selectors, surrogates of emoji, ...) is counted with its
// neighbours by QTextBoundaryFinder.
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

struct UnitTables
{
    std::bitset<65536> alone;
    // The units standing alone that are counted: not CR or LF.
    std::bitset<65536> counted;
};

const UnitTables& unitTables()
{
    static const std::unique_ptr<UnitTables> tables = [] {
        auto t = std::make_unique<UnitTables>();
        for (const auto& range : kAloneRanges)
            for (char32_t c = range.first; c <= range.last; ++c)
                t->alone.set(c);
        t->counted = t->alone;
        t->counted.reset(u'\r');
        t->counted.reset(u'\n');
        return t;
    }();
    return *tables;
}

int clusters(QStringView stretch)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, stretch.data(), stretch.size());
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

bool StandsAlone(char16_t c)
{
    return unitTables().alone.test(c);
}

TextCount CountText(QStringView text)
{
    const std::bitset<65536>& alone = unitTables().alone;
    const std::bitset<65536>& counted = unitTables().counted;
    const QChar* units = text.data();
    const qsizetype size = text.size();
    bool written = false;
    auto note = [&written](char16_t c) {
        if (!written && (c > 0x20 && c < 0x7F ? true : !QChar::isSpace(char32_t(c))))
            written = true;
    };
    auto isBreak = [](char16_t c) {
        return c == u'\r' || c == u'\n';
    };
    qint64 characters = 0;
    qsizetype i = 0;
    while (i < size) {
        if (written) {
            // Most of a diary: a run of units that are counted one by one.
            const qsizetype from = i;
            while (i < size && counted[units[i].unicode()])
                ++i;
            characters += i - from;
            if (i == size)
                break;
        }
        const char16_t c = units[i].unicode();
        if (isBreak(c)) {
            ++i;
            continue;
        }
        note(c);
        if (alone[c]) {
            ++characters;
            ++i;
            continue;
        }
        // A unit that may join its neighbours. The clusters around it are
        // found by QTextBoundaryFinder, from the unit before it (a base its
        // marks join, already counted) to the units standing alone after
        // it. Between two units that stand alone there is always a
        // boundary, so the stretch is counted on its own; the one unit
        // after each run of joining units is taken in, as an emoji joined
        // by ZWJ may stand alone by itself.
        qsizetype start = i;
        if (i > 0 && !isBreak(units[i - 1].unicode())) {
            --start;
            --characters;
        }
        qsizetype end = i;
        for (;;) {
            while (end < size && !alone[units[end].unicode()])
                note(units[end++].unicode());
            if (end < size && !isBreak(units[end].unicode()))
                note(units[end++].unicode());
            if (end >= size || alone[units[end].unicode()])
                break;
        }
        characters += clusters(text.sliced(start, end - start));
        i = end;
    }
    TextCount count;
    count.written = written;
    if (written)
        count.characters = int(std::min<qint64>(characters, std::numeric_limits<int>::max()));
    return count;
}
