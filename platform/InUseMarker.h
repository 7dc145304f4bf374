#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QSysInfo>
#include <QTimer>

#include <optional>

// The mark a running program leaves beside its calendar, "<calendar>.inuse":
// the computer's name and the time, written again every minute and removed
// at the end. A calendar shared between computers through a sync program is
// locked by nothing across them; the mark lets the other computer's start
// say that the calendar may be open here. It is an ordinary small file that
// sync programs carry like any other, and it never stands in anyone's way:
// a mark that cannot be written or read is no mark.
class InUseMarker : public QObject
{
    Q_OBJECT

public:
    // What a mark says.
    struct Mark
    {
        QString host;
        QDateTime written; // in UTC
    };

    // How often a running program writes its mark again.
    static constexpr int kRefreshMs = 60 * 1000;
    // How far from the clock a mark's time may lie and still count: a
    // program that stopped writing this long ago has ended without removing
    // it (a crash, a computer switched off).
    static constexpr qint64 kFreshSeconds = 10 * 60;

    // The mark of the calendar `calendarPath` for the computer named `host`.
    explicit InUseMarker(const QString& calendarPath,
                         const QString& host = QSysInfo::machineHostName(),
                         QObject* parent = nullptr);
    // Stops, and removes this computer's mark.
    ~InUseMarker() override;

    // The file of the mark beside `calendarPath`.
    static QString PathFor(const QString& calendarPath);
    QString path() const { return mPath; }

    // The mark on disk; none when there is no file or it says nothing
    // readable.
    std::optional<Mark> read() const;
    // The mark on disk when another computer wrote it within kFreshSeconds
    // of `now`; none for this computer's own (left by a crash), an old one,
    // or none at all.
    std::optional<Mark> otherComputer(const QDateTime& now) const;

    // Writes the mark with the time `now`, replacing whatever mark is there
    // in one step. False when it cannot be written.
    bool write(const QDateTime& now);
    // Writes the mark now and every kRefreshMs after, until stop().
    void start();
    // Stops writing and removes the mark when it is this computer's (another
    // computer may have written its own since).
    void stop();
    bool isActive() const { return mRefresh.isActive(); }

    // The time between writes for every marker started from now on; 0
    // returns to kRefreshMs.
    static void setRefreshIntervalForTesting(int ms);

private:
    bool isMine(const Mark& mark) const;

    QString mPath;
    QString mHost;
    QTimer mRefresh;
};
