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
    // A buffered file takes the bytes into its own buffer first: it is
    // flushed at once, so that a full disk is noticed here.
    auto* file = qobject_cast<QFileDevice*>(&mDevice);
    // A disk that fills takes part of the bytes first without a reason;
    // the next write gives it.
    qsizetype done = 0;
    for (qint64 n = 0; done < mBytes.size(); done += qsizetype(n)) {
        n = mDevice.write(mBytes.constData() + done, mBytes.size() - done);
        if (n <= 0)
            break;
    }
    const bool written = done == mBytes.size() && (!file || file->flush());
    if (!written) {
        const QString what = QStringLiteral("ファイルに書き込めませんでした。");
        throw ExchangeError(file ? FileFailureText(what, *file)
                                 : what + QStringLiteral("（") + mDevice.errorString() +
                                       QStringLiteral("）"));
    }
    mBytes.clear();
}
