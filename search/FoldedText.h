#pragma once

#include <QList>
#include <QString>

#include <utility>

// A text in the form that searches compare: Unicode NFKC with full case
// folding (and NFKC again, as folding may leave marks uncomposed), so that
// ｶﾗｵｹ and カラオケ, ＡＢＣ and abc, ß and ss read alike; beside it the same
// text with katakana turned into hiragana, for searches that do not tell the
// two apart.
//
// Folding can change lengths (ｶﾞ is two characters, ガ one; ß becomes ss), so
// the folded text remembers where its characters came from. The text is
// folded piece by piece, each piece a character together with the marks that
// compose with it, which gives exactly the folded form of the whole text and
// lets every folded character be traced back to its piece.
class FoldedText
{
public:
    FoldedText() = default;
    explicit FoldedText(const QString& original);

    // The folded text; with `kana`, katakana are hiragana in it. Both have
    // the same length and positions.
    const QString& text(bool kana) const { return kana ? mKana : mText; }
    int originalLength() const { return mOriginalLength; }

    // The characters of the original text that the folded characters
    // [start, end) came from, as (start, end). A piece whose length changed
    // is covered whole: a hit on ガ folded from ｶﾞ covers both; a mark that
    // joins a piece but is folded on its own (the second ﾞ of ｶﾞﾞ) is a
    // piece of its own.
    std::pair<int, int> originalSpan(int start, int end) const;

    // Katakana as hiragana (ァ..ヶ, ヽ, ヾ); every other character as it is.
    static QString kanaAsHiragana(const QString& folded);

private:
    // Notes where the piece [start, end) of `original`, folded into `folded`
    // at `foldedStart`, came from, part by part where its parts fold apart.
    void trace(QStringView original, qsizetype start, qsizetype end, QStringView folded,
               qsizetype foldedStart);

    // A piece traced whole, in order of position: its folded length differs
    // from its own, or its characters fold into others that do not match
    // them one for one.
    struct Resized
    {
        int foldedStart;
        int foldedLength;
        int originalStart;
        int originalLength;
    };
    QString mText;
    QString mKana;
    QList<Resized> mResized;
    int mOriginalLength = 0;
};
