#pragma once

#include "search/Matcher.h"

#include <QList>
#include <QString>

#include <span>

// What a result row shows of an entry: the line holding the first hit, with
// every hit in that line.
struct Snippet
{
    QString text;
    // Spans within `text`.
    QList<Hit> hits;
};

// The snippet of `text`, whose hits are `hits` (ordered, as FindHits gives
// them). Lines end at CR LF, LF or CR; tabs become spaces. A line longer than
// `maxLength` is cut to that length around its first hit, with "…" where it
// was cut. Empty when there is no hit.
Snippet MakeSnippet(const QString& text, std::span<const Hit> hits, int maxLength = 160);
