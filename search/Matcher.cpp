#include "search/Matcher.h"

#include "search/FoldedText.h"
#include "search/SearchQuery.h"

#include <algorithm>
#include <cstring>

namespace {

// The first occurrence of `term` in `text` from `from` on, -1 when there is
// none. The first character is looked for with the vectorised search for
// one character, the rest compared in place: in Japanese text the first
// character of a term is seldom met, so this beats a general string search.
qsizetype find(QStringView text, QStringView term, qsizetype from)
{
    const QChar first = term.front();
    if (term.size() == 1)
        return text.indexOf(first, from);
    const qsizetype last = text.size() - term.size();
    const size_t restBytes = size_t(term.size() - 1) * sizeof(QChar);
    while (from <= last) {
        from = text.indexOf(first, from);
        if (from < 0 || from > last)
            return -1;
        if (std::memcmp(text.data() + from + 1, term.data() + 1, restBytes) == 0)
            return from;
        ++from;
    }
    return -1;
}

} // namespace

bool AppendHits(const SearchQuery& query, const FoldedText& text, QList<Hit>& hits)
{
    const QStringList& terms = query.foldedTerms();
    if (terms.isEmpty())
        return false;
    const QStringView folded = text.text(query.foldsKana());
    // Every term first, so that a day without one of them costs one scan
    // for each term up to the missing one and nothing more.
    for (const QString& term : terms)
        if (find(folded, term, 0) < 0)
            return false;
    const qsizetype begin = hits.size();
    for (const QString& term : terms) {
        for (qsizetype at = find(folded, term, 0); at >= 0;
             at = find(folded, term, at + term.size())) {
            const auto [start, end] = text.originalSpan(int(at), int(at + term.size()));
            hits.append({start, end - start});
        }
    }
    if (terms.size() > 1)
        std::sort(hits.begin() + begin, hits.end(), [](const Hit& a, const Hit& b) {
            return a.start != b.start ? a.start < b.start : a.length < b.length;
        });
    return true;
}

QList<Hit> FindHits(const SearchQuery& query, const FoldedText& text)
{
    QList<Hit> hits;
    AppendHits(query, text, hits);
    return hits;
}

QList<Hit> FindHits(const SearchQuery& query, const QString& text)
{
    if (query.isEmpty())
        return {};
    return FindHits(query, FoldedText(text));
}
