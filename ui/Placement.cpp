#include "ui/Placement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

qint64 overlap(const QRect& a, const QRect& b)
{
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

// Squared distance between two rectangles that do not overlap.
qint64 distance(const QRect& a, const QRect& b)
{
    const qint64 dx =
        std::max({qint64(0), qint64(b.left()) - a.right(), qint64(a.left()) - b.right()});
    const qint64 dy =
        std::max({qint64(0), qint64(b.top()) - a.bottom(), qint64(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

WindowPlacement FitPlacement(const WindowPlacement& stored, const QList<QRect>& screens,
                             const QSize& defaultSize)
{
    WindowPlacement fit = stored;
    if (fit.state < 0 || fit.state > 2)
        fit.state = 0;
    QRect& r = fit.outer;
    if (r.width() < 1)
        r.setWidth(defaultSize.width());
    if (r.height() < 1)
        r.setHeight(defaultSize.height());
    if (screens.isEmpty())
        return fit;

    // The screen the window is on: the one it overlaps most, or the nearest.
    const QRect* home = &screens.first();
    qint64 best = 0;
    for (const QRect& screen : screens) {
        if (overlap(r, screen) > best) {
            best = overlap(r, screen);
            home = &screen;
        }
    }
    if (best == 0) {
        for (const QRect& screen : screens)
            if (distance(r, screen) < distance(r, *home))
                home = &screen;
    }
    r.setWidth(std::min(r.width(), home->width()));
    r.setHeight(std::min(r.height(), home->height()));
    const bool visible = std::any_of(screens.begin(), screens.end(),
                                     [&](const QRect& screen) { return overlap(r, screen) > 0; });
    if (!visible) {
        r.moveLeft(std::clamp(r.left(), home->left(), home->right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), home->top(), home->bottom() - r.height() + 1));
    }
    return fit;
}

QList<QRect> ScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}
