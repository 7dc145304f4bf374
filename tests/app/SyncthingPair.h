#pragma once

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>

#include <functional>
#include <optional>

// Two Syncthing instances on this machine that share one folder, as two
// computers would, talking over the loopback address only: each listens on
// 127.0.0.1 at a port that was free when the pair started and knows the
// other by that static address; discovery, relays, NAT traversal, usage and
// crash reporting are off. Their REST API (on 127.0.0.1, with an API key)
// pauses and resumes them and says when they are in step.
//
// The instances live under one folder: ROOT/A and ROOT/B, each holding its
// Syncthing home (`syncthing/`, with `syncthing.log`) and its copy of the
// shared folder (`Sync/`). Both are stopped when the pair goes, however the
// test ends, and also when the test process dies.
//
// Whatever waits takes a deadline. A call that fails leaves in failure()
// what it did or waited for; logTail() tells why.
class SyncthingPair
{
public:
    // The shared folder's id in both configurations.
    static const QString kFolderId;

    explicit SyncthingPair(const QString& root);
    ~SyncthingPair();
    SyncthingPair(const SyncthingPair&) = delete;
    SyncthingPair& operator=(const SyncthingPair&) = delete;

    // Makes both homes and their configurations, starts both instances and
    // waits until each is connected to the other.
    bool start(const QDeadlineTimer& deadline);
    // Stops both instances (also done by the destructor).
    void stop();

    // Instance `side` (0 for A, 1 for B): its copy of the shared folder, its
    // device id, and the id's first seven characters that its conflict
    // copies carry.
    QString folder(int side) const;
    QString deviceId(int side) const { return mSides[side].deviceId; }
    QString shortId(int side) const { return mSides[side].deviceId.left(7); }
    // The address the other instance reaches it at.
    QString listenAddress(int side) const;
    // Every way instance `side` can be reached or found, as its REST API
    // names them: its listeners and its discovery services (in that
    // order); nothing when it does not answer.
    std::optional<QStringList> openings(int side);

    // Both instances stop talking to each other (every device paused), or
    // start again; true once each sees the other gone, or back.
    bool pause(const QDeadlineTimer& deadline);
    bool resume(const QDeadlineTimer& deadline);
    // Instance `side` scans the shared folder now, rather than when its
    // watcher gets to it; true once the scan has ended.
    bool scan(int side, const QDeadlineTimer& deadline);
    // One look at both instances: each has nothing left to pull, is idle,
    // and knows the other to hold everything it has. A change that neither
    // has scanned yet is not seen.
    bool inStep();

    // Waits until `done` holds, looking every quarter of a second; on
    // timeout, failure() says that `step` timed out.
    bool waitUntil(const QString& step, const QDeadlineTimer& deadline,
                   const std::function<bool()>& done);

    QString failure() const { return mFailure; }
    // The last `lines` lines of instance `side`'s log, its path first.
    QString logTail(int side, int lines = 25) const;

private:
    struct Side
    {
        QString home;
        QString deviceId;
        QString apiKey;
        quint16 listenPort = 0;
        quint16 guiPort = 0;
        QProcess process;
        bool launched = false;
    };

    bool generate(Side& side, const QDeadlineTimer& deadline);
    bool writeConfig(int side);
    bool launch(Side& side);
    void stopSide(Side& side);
    bool connectedToOther(int side);
    // The REST API of one instance; nothing when it does not answer within
    // the deadline (or a few seconds) or answers with an error.
    std::optional<QJsonObject> get(int side, const QString& path, const QDeadlineTimer& deadline);
    bool post(int side, const QString& path, const QDeadlineTimer& deadline);
    std::optional<QByteArray> request(int side, const QString& path, bool isPost,
                                      const QDeadlineTimer& deadline);
    bool fail(const QString& step);

    QString mRoot;
    QString mConfigVersion;
    Side mSides[2];
    QNetworkAccessManager mNetwork;
    QString mFailure;
};
