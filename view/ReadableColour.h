#pragma once

#include <QColor>
#include <QList>

// The colour to draw text of colour `text` with on `backgrounds`, every
// colour the text may land on (a header is often drawn as a gradient).
// `text` itself where it reaches a contrast ratio of 4.5:1 on each, the least
// that reads well for text of normal size. On a light background the colour
// asked for is also kept down to 3:1: the program's own colours were chosen
// for a white window, where its holiday red reaches 4:1. Anywhere else a
// shade of the same hue, mixed with white or black (whichever stands out
// more from the backgrounds), just far enough to reach 4.5:1.
QColor ReadableOn(const QColor& text, const QList<QColor>& backgrounds);
QColor ReadableOn(const QColor& text, const QColor& background);

// The contrast ratio of two colours, from 1 (the same lightness) to 21
// (black and white).
double ContrastRatio(const QColor& a, const QColor& b);
