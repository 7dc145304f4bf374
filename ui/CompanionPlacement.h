#pragma once

#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>

class QWidget;

// The place and size of a window that works beside the main window, kept
// in the settings under `<prefix>Left`, `Top`, `Width` and `Height` (twips,
// as the main window's). The size is always taken back; the place too,
// unless the window would then cover the part of the main window that must
// stay in sight (the entry box), when it opens beside the main window
// (PlaceBeside). Any such window can keep its place with one of these.
class CompanionPlacement
{
public:
    // `owner` is the main window; `keepInSight` gives the part of it the
    // window must not cover, in screen coordinates.
    CompanionPlacement(QWidget* window, QString prefix, QWidget* owner,
                       std::function<QRect()> keepInSight);

    // Before the window is shown.
    void restore();
    // When it is hidden; nothing before it was restored once.
    void save();

private:
    QWidget* mWindow;
    QString mPrefix;
    QPointer<QWidget> mOwner;
    std::function<QRect()> mKeepInSight;
    bool mRestored = false;
};
