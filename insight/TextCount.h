#pragma once

#include <QStringView>

// How much one entry holds, as its writer sees it. Every figure of the diary
// (the window's and the command line's) counts with this one routine.
struct TextCount
{
    // Characters as they appear on the screen: a letter with its combining
    // marks, an emoji sequence or a flag is one (grapheme clusters). Line
    // breaks (CR LF, CR, LF) are not counted; other white space is. An entry
    // that is not written counts 0.
    int characters = 0;
    // The entry has a character that is not white space: white space alone
    // is not writing.
    bool written = false;

    bool operator==(const TextCount&) const = default;
};

TextCount CountText(QStringView text);

// True when the code unit `c` is always one character on the screen by
// itself: no mark, joiner or selector can join it to its neighbours. Such
// units are counted one by one, without looking for clusters.
bool StandsAlone(char16_t c);
