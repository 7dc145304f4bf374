#include "view/ReadableColour.h"

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

} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background)
{
    if (!text.isValid() || !background.isValid())
        return text;
    // Light backgrounds keep the colours as given; a dark one is a
    // background that white stands out from better than black.
    const bool dark = ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
    if (!dark || ContrastRatio(text, background) >= kReadable)
        return text;
    // Mixed with white step by step: the hue stays, the shade lightens.
    QColor shade = text;
    for (int step = 1; step <= 20 && ContrastRatio(shade, background) < kReadable; ++step) {
        const double t = step / 20.0;
        shade = QColor::fromRgbF(float(text.redF() + (1 - text.redF()) * t),
                                 float(text.greenF() + (1 - text.greenF()) * t),
                                 float(text.blueF() + (1 - text.blueF()) * t));
    }
    return shade;
}
