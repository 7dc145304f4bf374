#include "search/Snippet.h"

#include <algorithm>

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

} // namespace

Snippet MakeSnippet(const QString& text, std::span<const Hit> hits, int maxLength)
{
    if (hits.empty())
        return {};
    const int first = std::clamp(hits.front().start, 0, int(text.size()));
    int lineStart = first;
    while (lineStart > 0 && !isLineEnd(text.at(lineStart - 1)))
        --lineStart;
    int lineEnd = first;
    while (lineEnd < text.size() && !isLineEnd(text.at(lineEnd)))
        ++lineEnd;

    int from = lineStart;
    int to = lineEnd;
    if (to - from > maxLength) {
        // A little of what comes before the hit, the rest after it.
        from = std::max(lineStart, first - maxLength / 4);
        to = std::min(lineEnd, from + maxLength);
        from = std::max(lineStart, to - maxLength);
        // Never half a character.
        if (from > lineStart && text.at(from).isLowSurrogate())
            ++from;
        if (to < lineEnd && text.at(to).isLowSurrogate())
            --to;
    }
    const QString cut = QStringLiteral("…");
    Snippet snippet;
    const int shift = from > lineStart ? int(cut.size()) : 0;
    if (shift)
        snippet.text = cut;
    snippet.text += QStringView(text).mid(from, to - from);
    snippet.text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (to < lineEnd)
        snippet.text += cut;
    for (const Hit& hit : hits) {
        const int start = std::max(hit.start, from);
        const int end = std::min(hit.end(), to);
        if (start < end)
            snippet.hits.append({start - from + shift, end - start});
    }
    return snippet;
}
