#pragma once

#include <QString>
#include <QStringList>

// What the user searches for, parsed once: the terms of the search text and
// the form in which they are compared. Terms are separated by half- or
// full-width spaces (U+0020, U+3000; other spaces are part of a term) and
// must all occur, in any order; a part in double
// quotes ("…", ＂…＂ or “…”) keeps its spaces. A blank text has no terms and
// finds nothing.
class SearchQuery
{
public:
    SearchQuery() = default;
    // `foldKana`: hiragana and katakana count as the same.
    SearchQuery(const QString& text, bool foldKana);

    const QString& text() const { return mText; }
    bool foldsKana() const { return mFoldKana; }
    // The terms as typed, quotes taken away.
    const QStringList& terms() const { return mTerms; }
    // The terms as they are compared (folded like FoldedText::text), each
    // once, in the order typed.
    const QStringList& foldedTerms() const { return mFolded; }
    bool isEmpty() const { return mFolded.isEmpty(); }

private:
    QString mText;
    bool mFoldKana = false;
    QStringList mTerms;
    QStringList mFolded;
};
