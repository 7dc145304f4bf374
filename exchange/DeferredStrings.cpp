#include "exchange/DeferredStrings.h"

#include "exchange/Utf8Decoding.h"

#include <system_error>

DeferredStrings::DeferredStrings(size_t most)
{
    mItems.reserve(most);
    mFirst = mItems.data();
}

DeferredStrings::~DeferredStrings()
{
    mStop.store(true, std::memory_order_relaxed);
    if (mThread.joinable())
        mThread.join();
}

qsizetype DeferredStrings::add(QByteArrayView bytes, int line)
{
    Q_ASSERT(mItems.size() < mItems.capacity());
    mItems.push_back({bytes, line, QString(), false});
    mAdded.store(mItems.size(), std::memory_order_release);
    if (mItems.size() == 1) {
        try {
            mThread = std::thread(&DeferredStrings::drain, this);
        } catch (const std::system_error&) {
            // No thread to be had: finish() decodes them all.
        }
    }
    return qsizetype(mItems.size() - 1);
}

int DeferredStrings::finish(std::vector<QString>& out)
{
    mComplete.store(true, std::memory_order_release);
    drain();
    if (mThread.joinable())
        mThread.join();
    out.resize(mItems.size());
    int faulty = 0;
    for (size_t i = 0; i < mItems.size(); ++i) {
        if (!mItems[i].decoded && faulty == 0)
            faulty = mItems[i].line;
        out[i] = std::move(mItems[i].text);
    }
    return faulty;
}

void DeferredStrings::drain()
{
    while (!mStop.load(std::memory_order_relaxed)) {
        // Whether more may come is read before what has come.
        const bool complete = mComplete.load(std::memory_order_acquire);
        size_t taken = mTaken.load(std::memory_order_relaxed);
        if (taken >= mAdded.load(std::memory_order_acquire)) {
            if (complete)
                return;
            std::this_thread::yield();
            continue;
        }
        if (!mTaken.compare_exchange_weak(taken, taken + 1, std::memory_order_relaxed))
            continue;
        Item& item = mFirst[taken];
        item.decoded = DecodeUtf8(item.bytes, item.text);
    }
}
