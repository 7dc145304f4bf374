#pragma once

#include <QColor>

// The colour to draw text of colour `text` on `background` with: `text`
// itself on a light background; on a dark one (a dark desktop theme), a
// lighter shade of it, just light enough for a contrast ratio of 4.5:1, the
// least that reads well for text of normal size.
QColor ReadableOn(const QColor& text, const QColor& background);

// The contrast ratio of two colours, from 1 (the same lightness) to 21
// (black and white).
double ContrastRatio(const QColor& a, const QColor& b);
