#pragma once

#include <QList>
#include <QString>

class FoldedText;
class SearchQuery;

// One place where a term of a search was found, in the original text.
struct Hit
{
    int start = 0;
    int length = 0;

    int end() const { return start + length; }
    bool operator==(const Hit& other) const = default;
};

// Every occurrence of every term of `query` in `text`, as spans of the
// original (unfolded) text, ordered by position: the occurrences of one term
// do not overlap, those of different terms may. Empty unless every term
// occurs, and for a query without terms.
QList<Hit> FindHits(const SearchQuery& query, const QString& text);
QList<Hit> FindHits(const SearchQuery& query, const FoldedText& text);
// The same hits appended to `hits`; false, appending nothing, unless every
// term occurs.
bool AppendHits(const SearchQuery& query, const FoldedText& text, QList<Hit>& hits);
