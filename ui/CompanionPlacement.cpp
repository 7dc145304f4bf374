#include "ui/CompanionPlacement.h"

#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "ui/Placement.h"

#include <QWidget>

#include <algorithm>

namespace {

qint64 area(const QRect& r)
{
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

// `r` moved along one axis into `screen`, as far as it fits.
QRect clampedInto(QRect r, const QRect& screen)
{
    r.moveLeft(std::clamp(r.left(), screen.left(),
                          std::max(screen.left(), screen.right() - r.width() + 1)));
    r.moveTop(std::clamp(r.top(), screen.top(),
                         std::max(screen.top(), screen.bottom() - r.height() + 1)));
    return r;
}

} // namespace

QRect PlaceBeside(const QRect& owner, const QRect& avoid, const QSize& size,
                  const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return QRect(QPoint(owner.right() + 1, owner.top()), size);
    const QRect* screen = &screens.first();
    for (const QRect& s : screens)
        if (area(s.intersected(owner)) > area(screen->intersected(owner)))
            screen = &s;

    // Beside the main window, moved along its side into the screen.
    const QRect beside[] = {
        QRect(QPoint(owner.right() + 1, owner.top()), size),
        QRect(QPoint(owner.left() - size.width(), owner.top()), size),
        QRect(QPoint(owner.left(), owner.bottom() + 1), size),
        QRect(QPoint(owner.left(), owner.top() - size.height()), size),
    };
    for (int i = 0; i < 4; ++i) {
        const QRect moved = clampedInto(beside[i], *screen);
        const QRect r = i < 2 ? QRect(QPoint(beside[i].left(), moved.top()), size)
                              : QRect(QPoint(moved.left(), beside[i].top()), size);
        if (screen->contains(r) && !r.intersects(owner) && !r.intersects(avoid))
            return r;
    }
    // Over the main window, in the strip of the screen beside the entry box
    // that takes the most of the window, as near the main window's corner as
    // the strip allows.
    const QRect box = avoid.intersected(*screen);
    if (box.isEmpty())
        return clampedInto(QRect(owner.topLeft(), size.boundedTo(screen->size())), *screen);
    const QRect strips[] = {
        QRect(QPoint(box.right() + 1, screen->top()), screen->bottomRight()),
        QRect(screen->topLeft(), QPoint(box.left() - 1, screen->bottom())),
        QRect(QPoint(screen->left(), box.bottom() + 1), screen->bottomRight()),
        QRect(screen->topLeft(), QPoint(screen->right(), box.top() - 1)),
    };
    QRect best;
    for (const QRect& strip : strips) {
        if (strip.isEmpty())
            continue;
        const QRect r = clampedInto(QRect(owner.topLeft(), size.boundedTo(strip.size())), strip);
        if (area(r) > area(best))
            best = r;
    }
    // No room at all beside the box (it fills the screen): the screen.
    return best.isValid()
               ? best
               : clampedInto(QRect(owner.topLeft(), size.boundedTo(screen->size())), *screen);
}

CompanionPlacement::CompanionPlacement(QWidget* window, QString prefix, Owner owner)
    : mWindow(window), mPrefix(std::move(prefix)), mOwner(std::move(owner))
{}

void CompanionPlacement::restore()
{
    mRestored = true;
    auto number = [this](const char* name) {
        return LeadingWholeNumber(
                   RegRead(kRegKey, mPrefix + QLatin1String(name), QStringLiteral("0")))
            .value_or(0);
    };
    const QList<QRect> screens = ScreenAreas();
    QSize size = mWindow->size();
    QRect stored;
    if (number("Width") > 0 && number("Height") > 0) {
        const WindowPlacement fit =
            FitPlacement({QRect(TwipsToPixelsX(number("Left")), TwipsToPixelsY(number("Top")),
                                TwipsToPixelsX(number("Width")), TwipsToPixelsY(number("Height"))),
                          0},
                         screens, size);
        stored = fit.outer;
        size = stored.size();
    }
    const QRect avoid = mOwner.avoid();
    const QRect placed = stored.isValid() && !stored.intersects(avoid)
                             ? stored
                             : PlaceBeside(mOwner.bounds(), avoid, size, screens);
    mWindow->resize(placed.size());
    mWindow->move(placed.topLeft());
}

void CompanionPlacement::save()
{
    if (!mRestored)
        return;
    RegWriteValues(
        kRegKey,
        {{mPrefix + QStringLiteral("Left"), RegNumberText(PixelsToTwipsX(mWindow->x()))},
         {mPrefix + QStringLiteral("Top"), RegNumberText(PixelsToTwipsY(mWindow->y()))},
         {mPrefix + QStringLiteral("Width"), RegNumberText(PixelsToTwipsX(mWindow->width()))},
         {mPrefix + QStringLiteral("Height"), RegNumberText(PixelsToTwipsY(mWindow->height()))}});
}
