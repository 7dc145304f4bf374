#pragma once

#include <QFont>

// Measures of the windows are given in twips, 1/1440 inch, and converted with
// the screen's logical DPI.
int TwipsToPixelsX(double twips);
int TwipsToPixelsY(double twips);
double PixelsToTwipsX(int pixels);
double PixelsToTwipsY(int pixels);

// The fixed-pitch Japanese font of the grids and text boxes: "ＭＳ ゴシック"
// where installed, otherwise IPAGothic or another fixed-pitch font with
// Japanese glyphs.
QFont JapaneseFixedFont(double pointSize = 9);
// The proportional Japanese font of the About box ("ＭＳ Ｐゴシック" or IPAPGothic).
QFont JapaneseProportionalFont(double pointSize);
