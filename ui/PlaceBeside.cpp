#include "ui/PlaceBeside.h"

#include <algorithm>
#include <array>

namespace {

// `at` moved along one axis so that a window `extent` long starting there
// stays within [low, high] where it can.
int within(int at, int extent, int low, int high)
{
    return std::max(low, std::min(at, high - extent + 1));
}

qint64 area(const QSize& size)
{
    return qint64(size.width()) * size.height();
}

} // namespace

QRect PlaceBeside(const QRect& owner, const QRect& keep, const QRect& screen, const QSize& size)
{
    const QSize fitted = size.boundedTo(screen.size());
    const int w = fitted.width();
    const int h = fitted.height();
    const int levelTop = within(owner.top(), h, screen.top(), screen.bottom());
    const int levelLeft = within(owner.left(), w, screen.left(), screen.right());

    const std::array<QRect, 4> besideOwner = {
        QRect(QPoint(owner.right() + 1, levelTop), fitted),
        QRect(QPoint(owner.left() - w, levelTop), fitted),
        QRect(QPoint(levelLeft, owner.bottom() + 1), fitted),
        QRect(QPoint(levelLeft, owner.top() - h), fitted),
    };
    for (const QRect& place : besideOwner)
        if (screen.contains(place))
            return place;

    // The parts of the screen to the right of, left of, below and above the
    // part to keep in sight, each with the place in it nearest to that part.
    struct Part
    {
        QRect room;
        QRect place;
    };
    auto part = [](const QRect& room, const QPoint& at, const QSize& inside) {
        return Part{room, QRect(at, inside)};
    };
    const QRect right(QPoint(keep.right() + 1, screen.top()), screen.bottomRight());
    const QRect left(screen.topLeft(), QPoint(keep.left() - 1, screen.bottom()));
    const QRect below(QPoint(screen.left(), keep.bottom() + 1), screen.bottomRight());
    const QRect above(screen.topLeft(), QPoint(screen.right(), keep.top() - 1));
    auto inside = [&](const QRect& room) {
        return fitted.boundedTo(room.size());
    };
    const std::array<Part, 4> parts = {
        part(right,
             QPoint(right.left(),
                    within(keep.top(), inside(right).height(), right.top(), right.bottom())),
             inside(right)),
        part(left,
             QPoint(left.right() - inside(left).width() + 1,
                    within(keep.top(), inside(left).height(), left.top(), left.bottom())),
             inside(left)),
        part(below,
             QPoint(within(keep.left(), inside(below).width(), below.left(), below.right()),
                    below.top()),
             inside(below)),
        part(above,
             QPoint(within(keep.left(), inside(above).width(), above.left(), above.right()),
                    above.bottom() - inside(above).height() + 1),
             inside(above)),
    };
    const Part* best = nullptr;
    for (const Part& p : parts) {
        if (p.room.isEmpty())
            continue;
        if (p.place.size() == fitted)
            return p.place;
        if (!best || area(p.place.size()) > area(best->place.size()))
            best = &p;
    }
    return best ? best->place : QRect(screen.topLeft(), fitted);
}
