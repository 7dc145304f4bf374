#include "app/ProgressLine.h"

#include <QByteArray>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool isTerminal(FILE* stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// Wider than the widest line ("書き出しています… 100%" takes 23 columns):
// written over a line to clear it.
constexpr int kLineColumns = 40;

} // namespace

ProgressLine::ProgressLine(FILE* stream, const QString& label, int delayMs)
    : mStream(stream), mLabel(label), mDelayMs(delayMs), mTerminal(isTerminal(stream))
{
    mTimer.start();
}

ProgressLine::~ProgressLine()
{
    clear();
}

int ProgressLine::DelayMs()
{
    bool isNumber = false;
    const int ms = qEnvironmentVariableIntValue("ZEDU_PROGRESS_AFTER_MS", &isNumber);
    return isNumber && ms >= 0 ? ms : 1000;
}

bool ProgressLine::update(int done, int total)
{
    if (!mTerminal || total <= 0 || (!mShown && mTimer.elapsed() < mDelayMs))
        return true;
    const int percent = int(qint64(qBound(0, done, total)) * 100 / total);
    if (percent == mPercent)
        return true;
    mPercent = percent;
    mShown = true;
    const QByteArray line = '\r' + (mLabel + QStringLiteral(" %1%").arg(percent)).toLocal8Bit();
    std::fputs(line.constData(), mStream);
    std::fflush(mStream);
    return true;
}

std::function<bool(int, int)> ProgressLine::callback()
{
    return [this](int done, int total) {
        return update(done, total);
    };
}

void ProgressLine::clear()
{
    if (!mShown)
        return;
    mShown = false;
    mPercent = -1;
    std::fputs(('\r' + QByteArray(kLineColumns, ' ') + '\r').constData(), mStream);
    std::fflush(mStream);
}
