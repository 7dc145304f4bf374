#include "insight/ShadeScale.h"

#include <algorithm>

ShadeScale::ShadeScale(QList<int> written)
{
    if (written.isEmpty())
        return;
    std::sort(written.begin(), written.end());
    // The nearest-rank quartiles: the smallest count at or below which at
    // least a quarter, a half, three quarters of the days lie.
    const qsizetype n = written.size();
    for (int q = 1; q <= 3; ++q)
        mBounds[q - 1] = written[(q * n + 3) / 4 - 1];
}

int ShadeScale::step(const TextCount& count) const
{
    if (!count.written)
        return 0;
    int step = 1;
    while (step < 4 && count.characters > mBounds[step - 1])
        ++step;
    return step;
}
