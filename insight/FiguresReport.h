#pragma once

#include <QString>

struct DiaryFigures;

// The figures as the command line writes them, each ending with a line
// break.

// For scripts, one line of JSON with the keys always in this order:
// {"from":"YYYY-MM","to":"YYYY-MM","days":N,"days_written":N,"characters":N,
//  "longest_entry":{"date":"YYYY-MM-DD","characters":N},
//  "longest_streak":{"days":N,"from":"YYYY-MM-DD","to":"YYYY-MM-DD"},
//  "current_streak":N,"months":[{"month":"YYYY-MM","days_written":N,
//  "characters":N},...]}
// with null for the longest entry and streak when nothing is written.
QString FiguresJson(const DiaryFigures& figures);

// For people: the figures in Japanese, one per line with their labels in a
// column, then a table of the months, numbers aligned on the right.
QString FiguresText(const DiaryFigures& figures);
