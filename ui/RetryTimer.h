#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QFileSystemWatcher;

// How often work that failed on the calendar file is tried again, in
// milliseconds.
constexpr int kRetryIntervalMs = 3000;

// Calls for another attempt at work that failed on the calendar file (saving
// an entry, showing the first month): every few seconds while it runs, and
// soon after the calendar file or its folder changes on disk, which is often
// the cause going away (another program's write committed, permissions
// fixed, the file put back). Changes that follow an attempt closely (its own
// journal coming and going) do not call for another one at once.
class RetryTimer : public QObject
{
    Q_OBJECT

public:
    explicit RetryTimer(QObject* parent = nullptr);

    // Starts calling for attempts, watching the calendar file of gDataPath
    // and its folder; does nothing while running.
    void start();
    void stop();
    bool isActive() const { return mEvery.isActive(); }

    // Watches the calendar's folder for good, whether attempts run or not,
    // and calls `folderChanged` once a change there has settled (a copy
    // from another computer arriving, the calendar replaced). Follows the
    // calendar when its path changes.
    void watchFolder();

    // The time between attempts for every timer from now on; 0 returns to
    // kRetryIntervalMs.
    static void setIntervalForTesting(int ms);
    static int interval();

signals:
    void attempt();
    void folderChanged();

private:
    void changedOnDisk();
    void fire();

    QTimer mEvery;
    QTimer mSoon;
    QTimer mFolderSettled;
    QString mWatchedFolder;
    QFileSystemWatcher* mWatcher = nullptr;
    QElapsedTimer mSinceAttempt;
};
