#pragma once

#include "search/Matcher.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <span>

// What a result row shows of an entry: the line holding the first hit, with
// every hit in that line.
struct Snippet
{
    QString text;
    // Spans within `text`.
    QList<Hit> hits;
};

// How wide a text is drawn, in the unit of the width given to MakeSnippet.
using TextWidth = std::function<double(QStringView)>;

// The snippet of `text`, whose hits are `hits` (ordered, as FindHits gives
// them), for a column `width` wide. Lines end at CR LF, LF or CR; tabs become
// spaces. A line that does not fit is cut so that its first hit is in sight:
// with some of what comes before the hit when there is room, from the hit
// itself when there is not, with "…" where it was cut. Empty when there is no
// hit.
Snippet MakeSnippet(const QString& text, std::span<const Hit> hits, double width,
                    const TextWidth& widthOf);
