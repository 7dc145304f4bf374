#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <functional>

class QWidget;

// Where a window that works beside the main window opens: to the right of
// the main window `owner` where its screen has room, else to its left,
// below, above; failing all four, over the main window but clear of `avoid`
// (the entry box), smaller when it must be. `screens` are the available
// areas (the primary one first); the screen is the one `owner` overlaps
// most. Never over `avoid` as long as the screen has any room beside it.
// Written for every window that opens beside the main window.
QRect PlaceBeside(const QRect& owner, const QRect& avoid, const QSize& size,
                  const QList<QRect>& screens);

// The remembered place and size of such a window, in the settings under
// `<prefix>Left`, `Top`, `Width` and `Height` (twips, as the main window's).
// The size is always taken back; the place too, unless the window would
// then cover the entry box, when it opens beside the main window as above.
class CompanionPlacement
{
public:
    struct Owner
    {
        // The main window's outer bounds and its entry box, in screen
        // coordinates.
        std::function<QRect()> bounds;
        std::function<QRect()> avoid;
    };

    CompanionPlacement(QWidget* window, QString prefix, Owner owner);

    // Before the window is shown.
    void restore();
    // When it is hidden; nothing before it was restored once.
    void save();

private:
    QWidget* mWindow;
    QString mPrefix;
    Owner mOwner;
    bool mRestored = false;
};
