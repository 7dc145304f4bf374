#pragma once

#include <QSet>

#include <vector>

// The day keys of a file read so far, to find one that comes twice. While
// the keys rise, as in every file this program writes, none can come again
// and a list of them is all that is kept; the first key out of order turns
// it into a set, which only such a file pays for.
class KeysSeen
{
public:
    // True when `key` came before; otherwise it is noted.
    bool repeated(int key);
    // True while every key has been greater than the one before.
    bool rising() const { return mRising; }

private:
    bool mRising = true;
    std::vector<int> mKeys;
    QSet<int> mSet;
};
