#include "platform/InUseMarker.h"

#include "platform/Clock.h"

#include <QFile>
#include <QSaveFile>

#include <cstdlib>

namespace {

int refreshMs = InUseMarker::kRefreshMs;

// A mark is two lines: the computer's name and the time in ISO form (UTC),
// so that computers in other time zones read the same moment.
QByteArray markText(const QString& host, const QDateTime& now)
{
    return host.toUtf8() + '\n' + now.toUTC().toString(Qt::ISODateWithMs).toUtf8() + '\n';
}

} // namespace

InUseMarker::InUseMarker(const QString& calendarPath, const QString& host, QObject* parent)
    : QObject(parent), mPath(PathFor(calendarPath)),
      // A computer without a name still knows its own mark.
      mHost(host.trimmed().isEmpty() ? QStringLiteral("localhost") : host.trimmed())
{
    connect(&mRefresh, &QTimer::timeout, this, [this] { write(Clock::Now()); });
}

InUseMarker::~InUseMarker()
{
    stop();
}

QString InUseMarker::PathFor(const QString& calendarPath)
{
    return calendarPath + QStringLiteral(".inuse");
}

void InUseMarker::setRefreshIntervalForTesting(int ms)
{
    refreshMs = ms > 0 ? ms : kRefreshMs;
}

std::optional<InUseMarker::Mark> InUseMarker::read() const
{
    QFile file(mPath);
    // A mark is a few dozen bytes; anything much longer is no mark.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4096)
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return std::nullopt;
    Mark mark{lines[0].trimmed(), QDateTime::fromString(lines[1].trimmed(), Qt::ISODateWithMs)};
    if (mark.host.isEmpty() || !mark.written.isValid())
        return std::nullopt;
    mark.written = mark.written.toUTC();
    return mark;
}

bool InUseMarker::isMine(const Mark& mark) const
{
    return mark.host.compare(mHost, Qt::CaseInsensitive) == 0;
}

std::optional<InUseMarker::Mark> InUseMarker::otherComputer(const QDateTime& now) const
{
    const std::optional<Mark> mark = read();
    if (!mark || isMine(*mark))
        return std::nullopt;
    // Either way off the clock: a computer whose clock runs ahead writes
    // times that lie after this one's.
    if (std::abs(mark->written.secsTo(now)) > kFreshSeconds)
        return std::nullopt;
    return mark;
}

bool InUseMarker::write(const QDateTime& now)
{
    // Written under a temporary name and renamed over the old mark, so
    // that a reader (or a sync program) never meets half a mark.
    QSaveFile file(mPath);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(markText(mHost, now));
    return file.commit();
}

void InUseMarker::start()
{
    write(Clock::Now());
    mRefresh.start(refreshMs);
}

void InUseMarker::stop()
{
    const bool wasActive = mRefresh.isActive();
    mRefresh.stop();
    if (!wasActive)
        return;
    const std::optional<Mark> mark = read();
    if (mark && isMine(*mark))
        QFile::remove(mPath);
}
