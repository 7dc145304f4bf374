#include "ui/CompanionPlacement.h"

#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "ui/PlaceBeside.h"
#include "ui/Placement.h"

#include <QScreen>
#include <QWidget>

CompanionPlacement::CompanionPlacement(QWidget* window, QString prefix, QWidget* owner,
                                       std::function<QRect()> keepInSight)
    : mWindow(window), mPrefix(std::move(prefix)), mOwner(owner),
      mKeepInSight(std::move(keepInSight))
{}

void CompanionPlacement::restore()
{
    mRestored = true;
    auto number = [this](const char* name) {
        return LeadingWholeNumber(
                   RegRead(kRegKey, mPrefix + QLatin1String(name), QStringLiteral("0")))
            .value_or(0);
    };
    const QRect keep = mKeepInSight ? mKeepInSight() : QRect();
    // The frame is not known before the window is first shown: the main
    // window's is taken for it.
    const QSize frame = mOwner ? mOwner->frameGeometry().size() - mOwner->size() : QSize();
    if (number("Width") > 0 && number("Height") > 0) {
        const WindowPlacement fit =
            FitPlacement({QRect(TwipsToPixelsX(number("Left")), TwipsToPixelsY(number("Top")),
                                TwipsToPixelsX(number("Width")), TwipsToPixelsY(number("Height"))),
                          0},
                         ScreenAreas(), mWindow->size());
        mWindow->resize(fit.outer.size().expandedTo(mWindow->minimumSizeHint()));
        if (!QRect(fit.outer.topLeft(), mWindow->size() + frame).intersects(keep)) {
            mWindow->move(fit.outer.topLeft());
            return;
        }
    }
    if (!mOwner)
        return;
    // Beside the main window, where it is now.
    const QScreen* screen = mOwner->screen();
    const QRect outer = PlaceBeside(mOwner->frameGeometry(), keep,
                                    screen ? screen->availableGeometry() : mOwner->frameGeometry(),
                                    mWindow->size() + frame);
    mWindow->resize(outer.size() - frame);
    mWindow->move(outer.topLeft());
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
