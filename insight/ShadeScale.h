#pragma once

#include "insight/TextCount.h"

#include <QList>

// The shades of the field of squares: step 0 for a day not written, and
// steps 1 to 4 by the quartiles of the characters of the written days the
// scale was made from (a year's). Days with the same count always share a
// step, and more characters never give a lighter one.
class ShadeScale
{
public:
    static constexpr int kSteps = 5;

    // `written`: the characters of each written day.
    explicit ShadeScale(QList<int> written);

    int step(const TextCount& count) const;
    // The highest count of steps 1 to 3 (the first, second and third
    // quartile); equal to one another when the days are alike.
    const int* bounds() const { return mBounds; }

private:
    int mBounds[3] = {};
};
