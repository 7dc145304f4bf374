#include "search/Snippet.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// Characters measured on either side of the first hit at most: more than
// any column shows, so that a line of megabytes costs no more than a short
// one.
constexpr int kReach = 1024;

// The farthest position from `from` toward `limit` (on either side of it)
// at which `holds` is true, given that it holds at `from` and, once false,
// stays false farther on. Steps out in growing strides, then halves the
// last one: few measurements, each of about what is shown.
template <typename Holds> int farthest(int from, int limit, const Holds& holds)
{
    const int direction = limit >= from ? 1 : -1;
    int good = from;
    int bad = limit + direction;
    for (int stride = 1; good != limit; stride *= 2) {
        const int probe =
            direction > 0 ? std::min(good + stride, limit) : std::max(good - stride, limit);
        if (!holds(probe)) {
            bad = probe;
            break;
        }
        good = probe;
    }
    while (std::abs(bad - good) > 1) {
        const int middle = good + (bad - good) / 2;
        if (holds(middle))
            good = middle;
        else
            bad = middle;
    }
    return good;
}

} // namespace

Snippet MakeSnippet(const QString& text, std::span<const Hit> hits, double width,
                    const TextWidth& widthOf)
{
    if (hits.empty())
        return {};
    const int size = int(text.size());
    const int first = std::clamp(hits.front().start, 0, size);
    int lineStart = first;
    while (lineStart > 0 && !isLineEnd(text.at(lineStart - 1)))
        --lineStart;
    int lineEnd = first;
    while (lineEnd < size && !isLineEnd(text.at(lineEnd)))
        ++lineEnd;
    const int hitEnd = std::clamp(hits.front().end(), first, lineEnd);

    // The part of the line that is measured at all, as it is drawn.
    int lo = std::max(lineStart, first - kReach);
    if (lo > lineStart && text.at(lo).isLowSurrogate())
        ++lo;
    const int hi = std::min(lineEnd, hitEnd + kReach);
    QString line = text.mid(lo, hi - lo);
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    auto piece = [&](int from, int to) {
        return QStringView(line).mid(from - lo, to - from);
    };
    const QString cut = QStringLiteral("…");
    auto fits = [&](int from, int to) {
        QString shown;
        if (from > lineStart)
            shown += cut;
        shown += piece(from, to);
        if (to < lineEnd)
            shown += cut;
        return widthOf(shown) <= width;
    };

    // Where the shown text starts: at the line's start when the first hit is
    // in sight from there; else a little before the hit, a quarter of the
    // width at most; from the hit itself when it alone fills the width.
    int from = first;
    if (lo == lineStart && fits(lineStart, hitEnd)) {
        from = lineStart;
    } else if (fits(first, hitEnd)) {
        from = farthest(first, lo, [&](int f) {
            return fits(f, hitEnd) && widthOf(piece(f, first)) <= width / 4;
        });
        // Near the line's end, what comes before fills the room left.
        if (hi == lineEnd && fits(from, lineEnd))
            from = farthest(from, lo, [&](int f) { return fits(f, lineEnd); });
    }
    if (from > lineStart && text.at(from).isLowSurrogate())
        ++from;
    // Where it ends: as far as the width goes.
    int to = hitEnd;
    if (hi == lineEnd && fits(from, lineEnd))
        to = lineEnd;
    else if (fits(from, hitEnd))
        to = farthest(hitEnd, hi, [&](int t) { return t < lineEnd && fits(from, t); });
    if (to < lineEnd && to > hitEnd && text.at(to).isLowSurrogate())
        --to;

    Snippet snippet;
    const int shift = from > lineStart ? int(cut.size()) : 0;
    if (shift)
        snippet.text = cut;
    snippet.text += piece(from, to);
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
