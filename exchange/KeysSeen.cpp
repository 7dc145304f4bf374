#include "exchange/KeysSeen.h"

bool KeysSeen::repeated(int key)
{
    if (mRising) {
        if (mKeys.empty() || mKeys.back() < key) {
            mKeys.push_back(key);
            return false;
        }
        mRising = false;
        mSet.reserve(qsizetype(mKeys.size()) * 2);
        for (const int seen : mKeys)
            mSet.insert(seen);
        mKeys = {};
    }
    if (mSet.contains(key))
        return true;
    mSet.insert(key);
    return false;
}
