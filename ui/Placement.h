#pragma once

#include <QList>
#include <QRect>

// The main window's stored placement, corrected where it cannot be right:
// values written by hand or by another machine's larger screens.
struct WindowPlacement
{
    QRect outer;   // outer bounds, frame included, in pixels
    int state = 0; // 0 normal, 1 minimized, 2 maximized
};

// Fits `stored` to the screens whose available areas (without panels) are
// `screens`, the primary one first:
// - an unknown state is the normal state;
// - a width or height below 1 is the default's;
// - the size is at most that of the available area of the screen the bounds
//   overlap most (the nearest one when they overlap none);
// - bounds that overlap no screen at all are moved onto that screen, as
//   little as needed.
// Everything else is kept as stored. Without screens nothing is changed.
WindowPlacement FitPlacement(const WindowPlacement& stored, const QList<QRect>& screens,
                             const QSize& defaultSize);

// The available areas of the screens (without panels), the primary one first.
QList<QRect> ScreenAreas();
