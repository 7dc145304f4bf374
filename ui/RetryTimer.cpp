#include "ui/RetryTimer.h"

#include "platform/Globals.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>

namespace {

int intervalMs = kRetryIntervalMs;

// How long a change on disk is let settle (a writer finishing its commit).
constexpr int kSettleMs = 200;
// The least time between an attempt and one called for by a change on disk.
constexpr int kLeastGapMs = 1000;
// How long the folder is let settle before it is looked at: a sync program
// writes its temporary file, then renames it.
constexpr int kFolderSettleMs = 500;

} // namespace

RetryTimer::RetryTimer(QObject* parent) : QObject(parent), mWatcher(new QFileSystemWatcher(this))
{
    mSoon.setSingleShot(true);
    mFolderSettled.setSingleShot(true);
    mFolderSettled.setInterval(kFolderSettleMs);
    connect(&mFolderSettled, &QTimer::timeout, this, [this] {
        watchFolder();
        emit folderChanged();
    });
    connect(&mEvery, &QTimer::timeout, this, &RetryTimer::fire);
    connect(&mSoon, &QTimer::timeout, this, &RetryTimer::fire);
    connect(mWatcher, &QFileSystemWatcher::fileChanged, this, &RetryTimer::changedOnDisk);
    connect(mWatcher, &QFileSystemWatcher::directoryChanged, this, &RetryTimer::changedOnDisk);
}

void RetryTimer::setIntervalForTesting(int ms)
{
    intervalMs = ms > 0 ? ms : kRetryIntervalMs;
}

int RetryTimer::interval()
{
    return intervalMs;
}

void RetryTimer::start()
{
    if (isActive())
        return;
    mEvery.start(intervalMs);
    mWatcher->addPath(QFileInfo(gDataPath).absolutePath());
    if (QFileInfo::exists(gDataPath))
        mWatcher->addPath(gDataPath);
}

void RetryTimer::stop()
{
    mEvery.stop();
    mSoon.stop();
    if (!mWatcher->files().isEmpty())
        mWatcher->removePaths(mWatcher->files());
    QStringList folders = mWatcher->directories();
    folders.removeOne(mWatchedFolder);
    if (!folders.isEmpty())
        mWatcher->removePaths(folders);
}

void RetryTimer::watchFolder()
{
    const QString folder = QFileInfo(gDataPath).absolutePath();
    if (folder == mWatchedFolder && mWatcher->directories().contains(folder))
        return;
    if (!mWatchedFolder.isEmpty() && mWatchedFolder != folder && !isActive())
        mWatcher->removePath(mWatchedFolder);
    mWatchedFolder = folder;
    mWatcher->addPath(folder);
}

void RetryTimer::changedOnDisk()
{
    if (!mWatchedFolder.isEmpty())
        mFolderSettled.start();
    if (!isActive())
        return;
    // A file replaced by another is no longer watched under its name.
    if (!mWatcher->files().contains(gDataPath) && QFileInfo::exists(gDataPath))
        mWatcher->addPath(gDataPath);
    const qint64 since = mSinceAttempt.isValid() ? mSinceAttempt.elapsed() : kLeastGapMs;
    if (!mSoon.isActive())
        mSoon.start(int(std::max<qint64>(kSettleMs, kLeastGapMs - since)));
}

void RetryTimer::fire()
{
    mSinceAttempt.restart();
    emit attempt();
}
