#include "view/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// Relative luminance as the usual contrast formula defines it.
double luminance(const QColor& c)
{
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

constexpr double kReadable = 4.5;
constexpr double kKeptOnLight = 3.0;

// The contrast of `text` on the background it stands out from least.
double worstContrast(const QColor& text, const QList<QColor>& backgrounds)
{
    double worst = 21;
    for (const QColor& background : backgrounds)
        worst = std::min(worst, ContrastRatio(text, background));
    return worst;
}

} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background)
{
    return ReadableOn(text, QList<QColor>{background});
}

QColor ReadableOn(const QColor& text, const QList<QColor>& backgrounds)
{
    if (!text.isValid() || backgrounds.isEmpty() ||
        std::any_of(backgrounds.begin(), backgrounds.end(),
                    [](const QColor& c) { return !c.isValid(); }))
        return text;
    const double asIs = worstContrast(text, backgrounds);
    if (asIs >= kReadable)
        return text;
    // A light background is one that black stands out from better than
    // white; a mid grey is one only by a little, and keeps the colour only
    // if it still reads there.
    const double onWhite = worstContrast(Qt::white, backgrounds);
    const double onBlack = worstContrast(Qt::black, backgrounds);
    if (onBlack > onWhite && asIs >= kKeptOnLight)
        return text;
    // Mixed step by step with the one of white and black that stands out
    // more: the hue stays, the shade changes. On one background the better
    // of the two always reaches 4.5:1 (their contrasts multiply to 21).
    const QColor towards = onWhite >= onBlack ? QColor(Qt::white) : QColor(Qt::black);
    constexpr int kSteps = 64;
    QColor shade = text;
    for (int step = 1; step <= kSteps && worstContrast(shade, backgrounds) < kReadable; ++step) {
        const double t = double(step) / kSteps;
        shade = QColor::fromRgbF(float(text.redF() + (towards.redF() - text.redF()) * t),
                                 float(text.greenF() + (towards.greenF() - text.greenF()) * t),
                                 float(text.blueF() + (towards.blueF() - text.blueF()) * t));
    }
    return shade;
}
