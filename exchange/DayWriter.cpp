#include "exchange/DayWriter.h"

#include "exchange/ExchangeError.h"

#include <QIODevice>

namespace {
constexpr qsizetype kChunk = 1 << 16;
}

OutputBuffer::OutputBuffer(QIODevice& device) : mDevice(device)
{
    mBytes.reserve(kChunk * 2);
}

void OutputBuffer::append(const char* data, qsizetype size)
{
    mBytes.append(data, size);
    if (mBytes.size() >= kChunk)
        flush();
}

void OutputBuffer::flush()
{
    if (mBytes.isEmpty())
        return;
    if (mDevice.write(mBytes) != mBytes.size())
        throw ExchangeError(QStringLiteral("ファイルに書き込めませんでした。（") +
                            mDevice.errorString() + QStringLiteral("）"));
    mBytes.clear();
}
