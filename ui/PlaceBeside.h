#pragma once

#include <QRect>
#include <QSize>

// Where a window of outer size `size` opens next to the window `owner`
// (outer bounds) without covering `keep`, the part of the owner that must
// stay in sight, on the available screen area `screen`:
// - to the right of the owner, else to its left, where the screen has room,
//   level with the owner's top as far as the screen allows;
// - else below the owner, else above it, level with the owner's left;
// - else (the owner fills the screen) in the part of the screen beside
//   `keep` that has room for it, or else in the one that shows most of it,
//   shrunk to that part.
// The result is the window's outer bounds, on the screen.
QRect PlaceBeside(const QRect& owner, const QRect& keep, const QRect& screen, const QSize& size);
