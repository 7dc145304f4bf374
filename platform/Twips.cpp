#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

double dpiX()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

double dpiY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

int TwipsToPixelsX(double twips)
{
    return int(std::lround(twips * dpiX() / 1440.0));
}

int TwipsToPixelsY(double twips)
{
    return int(std::lround(twips * dpiY() / 1440.0));
}

double PixelsToTwipsX(int pixels)
{
    return pixels * 1440.0 / dpiX();
}

double PixelsToTwipsY(int pixels)
{
    return pixels * 1440.0 / dpiY();
}

QFont JapaneseFixedFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                      QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(pointSize);
    return font;
}

QFont JapaneseProportionalFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(pointSize);
    return font;
}
