#include "exchange/DayWriter.h"

#include "exchange/ExchangeError.h"
#include "exchange/FileFailure.h"

#include <QFileDevice>

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
    // A file takes the bytes into its own buffer first: it is flushed at
    // once, so that a full disk is noticed here, with the system's reason.
    auto* file = qobject_cast<QFileDevice*>(&mDevice);
    const bool written = mDevice.write(mBytes) == mBytes.size() && (!file || file->flush());
    if (!written) {
        const QString what = QStringLiteral("ファイルに書き込めませんでした。");
        throw ExchangeError(file ? FileFailureText(what, *file)
                                 : what + QStringLiteral("（") + mDevice.errorString() +
                                       QStringLiteral("）"));
    }
    mBytes.clear();
}
