#include "store/Utf8Ahead.h"

#include <system_error>

Utf8Ahead::Utf8Ahead(std::vector<QString> texts) : mTexts(std::move(texts)), mUtf8(mTexts.size())
{
    try {
        mThread = std::thread(&Utf8Ahead::encode, this);
    } catch (const std::system_error&) {
        // No thread to be had: the texts are converted here instead.
        encode();
    }
}

Utf8Ahead::~Utf8Ahead()
{
    mStop.store(true, std::memory_order_relaxed);
    if (mThread.joinable())
        mThread.join();
}

const std::optional<QByteArray>& Utf8Ahead::at(size_t i)
{
    // The thread is far quicker than the writes that wait for it: a wait
    // is short, and only gives way to it.
    while (mReady.load(std::memory_order_acquire) <= i)
        std::this_thread::yield();
    return mUtf8[i];
}

void Utf8Ahead::encode()
{
    for (size_t i = 0; i < mTexts.size() && !mStop.load(std::memory_order_relaxed); ++i) {
        const QString& text = mTexts[i];
        if (!text.isNull() && QStringView(text).isValidUtf16())
            mUtf8[i] = text.toUtf8();
        mReady.store(i + 1, std::memory_order_release);
    }
}
