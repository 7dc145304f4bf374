#include "search/Matcher.h"

#include "search/FoldedText.h"
#include "search/SearchQuery.h"

#include <algorithm>

QList<Hit> FindHits(const SearchQuery& query, const FoldedText& text)
{
    const QStringList& terms = query.foldedTerms();
    if (terms.isEmpty())
        return {};
    const QStringView folded = text.text(query.foldsKana());
    // Every term first, so that a day without one of them costs one scan
    // for each term up to the missing one and nothing more.
    for (const QString& term : terms)
        if (!folded.contains(term))
            return {};
    QList<Hit> hits;
    for (const QString& term : terms) {
        for (qsizetype at = folded.indexOf(term); at >= 0;
             at = folded.indexOf(term, at + term.size())) {
            const auto [start, end] = text.originalSpan(int(at), int(at + term.size()));
            hits.append({start, end - start});
        }
    }
    if (terms.size() > 1)
        std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) {
            return a.start != b.start ? a.start < b.start : a.length < b.length;
        });
    return hits;
}

QList<Hit> FindHits(const SearchQuery& query, const QString& text)
{
    if (query.isEmpty())
        return {};
    return FindHits(query, FoldedText(text));
}
