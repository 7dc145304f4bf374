#include "tests/app/SyncthingPair.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QXmlStreamWriter>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

const QString SyncthingPair::kFolderId = QStringLiteral("zedu");

namespace {

const char* const kSideNames[] = {"A", "B"};

// The longest a single call of the REST API may take: the instances answer
// at once unless they are gone.
constexpr qint64 kRequestMs = 10000;

qint64 remainingMs(const QDeadlineTimer& deadline, qint64 cap)
{
    return std::clamp<qint64>(deadline.remainingTime(), 0, cap);
}

} // namespace

SyncthingPair::SyncthingPair(const QString& root) : mRoot(root)
{
    // A proxy named in the environment must not see the loopback calls.
    mNetwork.setProxy(QNetworkProxy::NoProxy);
    for (int i = 0; i < 2; ++i)
        mSides[i].home =
            mRoot + QLatin1Char('/') + QLatin1String(kSideNames[i]) + QStringLiteral("/syncthing");
}

SyncthingPair::~SyncthingPair()
{
    stop();
}

QString SyncthingPair::folder(int side) const
{
    return mRoot + QLatin1Char('/') + QLatin1String(kSideNames[side]) + QStringLiteral("/Sync");
}

bool SyncthingPair::start(const QDeadlineTimer& deadline)
{
    for (int i = 0; i < 2; ++i)
        if (!QDir().mkpath(mSides[i].home) || !QDir().mkpath(folder(i)))
            return fail(QStringLiteral("making the folders of instance %1 under %2")
                            .arg(QLatin1String(kSideNames[i]), mRoot));
    for (Side& side : mSides)
        if (!generate(side, deadline))
            return false;
    {
        // Four ports that are free now, held until the configurations are
        // written so that no two of them are the same.
        QTcpServer holders[4];
        for (QTcpServer& holder : holders)
            if (!holder.listen(QHostAddress::LocalHost, 0))
                return fail(QStringLiteral("finding a free port on 127.0.0.1: ") +
                            holder.errorString());
        for (int i = 0; i < 2; ++i) {
            mSides[i].listenPort = holders[2 * i].serverPort();
            mSides[i].guiPort = holders[2 * i + 1].serverPort();
        }
        for (int i = 0; i < 2; ++i)
            if (!writeConfig(i))
                return false;
    }
    for (Side& side : mSides)
        if (!launch(side))
            return false;
    for (int i = 0; i < 2; ++i) {
        const bool up = waitUntil(
            QStringLiteral("the REST API of instance %1 on 127.0.0.1:%2")
                .arg(QLatin1String(kSideNames[i]))
                .arg(mSides[i].guiPort),
            deadline, [&] {
                const auto status = get(i, QStringLiteral("/rest/system/status"), deadline);
                return status &&
                       status->value(QStringLiteral("myID")).toString() == mSides[i].deviceId;
            });
        if (!up)
            return false;
    }
    return waitUntil(QStringLiteral("the two instances connecting"), deadline,
                     [&] { return connectedToOther(0) && connectedToOther(1); });
}

bool SyncthingPair::generate(Side& side, const QDeadlineTimer& deadline)
{
    QProcess generator;
    generator.setProcessChannelMode(QProcess::MergedChannels);
    generator.start(QStringLiteral("syncthing"),
                    {QStringLiteral("generate"), QStringLiteral("--home"), side.home,
                     QStringLiteral("--no-default-folder")});
    if (!generator.waitForStarted(int(remainingMs(deadline, kRequestMs))))
        return fail(QStringLiteral("starting syncthing (scripts/deps.sh installs it): ") +
                    generator.errorString());
    if (!generator.waitForFinished(int(remainingMs(deadline, 60000)))) {
        generator.kill();
        generator.waitForFinished();
        return fail(QStringLiteral("syncthing generate --home ") + side.home);
    }
    const QString said = QString::fromUtf8(generator.readAll());
    const QRegularExpressionMatch id =
        QRegularExpression(QStringLiteral("Device ID: ([A-Z0-9-]+)")).match(said);
    if (generator.exitCode() != 0 || !id.hasMatch())
        return fail(QStringLiteral("syncthing generate gave no device id:\n") + said);
    side.deviceId = id.captured(1);
    // The configuration written later keeps the version of the generated
    // one, so that this Syncthing reads it as its own.
    QFile generated(side.home + QStringLiteral("/config.xml"));
    const QString config =
        generated.open(QIODevice::ReadOnly) ? QString::fromUtf8(generated.readAll()) : QString();
    const QRegularExpressionMatch version =
        QRegularExpression(QStringLiteral("<configuration version=\"(\\d+)\"")).match(config);
    if (!version.hasMatch())
        return fail(QStringLiteral("reading the version of ") + generated.fileName());
    mConfigVersion = version.captured(1);
    side.apiKey = QUuid::createUuid().toString(QUuid::Id128);
    return true;
}

QString SyncthingPair::listenAddress(int side) const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(mSides[side].listenPort);
}

std::optional<QStringList> SyncthingPair::openings(int side)
{
    const QDeadlineTimer deadline(kRequestMs);
    const auto status = get(side, QStringLiteral("/rest/system/status"), deadline);
    const auto discovery = get(side, QStringLiteral("/rest/system/discovery"), deadline);
    if (!status || !discovery)
        return std::nullopt;
    return status->value(QStringLiteral("connectionServiceStatus")).toObject().keys() +
           discovery->keys();
}

bool SyncthingPair::writeConfig(int index)
{
    const Side& self = mSides[index];
    QFile file(self.home + QStringLiteral("/config.xml"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("writing ") + file.fileName());
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("configuration"));
    xml.writeAttribute(QStringLiteral("version"), mConfigVersion);

    xml.writeStartElement(QStringLiteral("folder"));
    xml.writeAttribute(QStringLiteral("id"), kFolderId);
    xml.writeAttribute(QStringLiteral("label"), kFolderId);
    xml.writeAttribute(QStringLiteral("path"), folder(index));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("sendreceive"));
    // Changes are seen a second after they happen, and a missed one within
    // five seconds.
    xml.writeAttribute(QStringLiteral("fsWatcherEnabled"), QStringLiteral("true"));
    xml.writeAttribute(QStringLiteral("fsWatcherDelayS"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("rescanIntervalS"), QStringLiteral("5"));
    for (const Side& member : mSides) {
        xml.writeStartElement(QStringLiteral("device"));
        xml.writeAttribute(QStringLiteral("id"), member.deviceId);
        xml.writeEndElement();
    }
    // A folder written by hand without it gets 0, and with 0 the newer side
    // silently wins: no conflict copy at all.
    xml.writeTextElement(QStringLiteral("maxConflicts"), QStringLiteral("10"));
    xml.writeEndElement();

    // Only A dials B; B takes A's call. Two instances dialing each other
    // at once could each drop a connection and then wait out the 20 s
    // hello timeout, longer than a resume is given.
    for (int i = 0; i < 2; ++i) {
        xml.writeStartElement(QStringLiteral("device"));
        xml.writeAttribute(QStringLiteral("id"), mSides[i].deviceId);
        xml.writeAttribute(QStringLiteral("name"), QLatin1String(kSideNames[i]));
        xml.writeTextElement(QStringLiteral("address"),
                             index == 0 && i == 1 ? listenAddress(i) : QStringLiteral("dynamic"));
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("gui"));
    xml.writeAttribute(QStringLiteral("enabled"), QStringLiteral("true"));
    xml.writeAttribute(QStringLiteral("tls"), QStringLiteral("false"));
    xml.writeTextElement(QStringLiteral("address"),
                         QStringLiteral("127.0.0.1:%1").arg(self.guiPort));
    xml.writeTextElement(QStringLiteral("apikey"), self.apiKey);
    xml.writeEndElement();

    // Nothing beyond the loopback address: no discovery (global, or local
    // broadcasts to the network), no relays, no NAT traversal, no usage or
    // crash reports, no upgrade checks.
    const std::pair<const char*, QString> options[] = {
        {"listenAddress", listenAddress(index)},
        {"globalAnnounceEnabled", QStringLiteral("false")},
        {"localAnnounceEnabled", QStringLiteral("false")},
        {"relaysEnabled", QStringLiteral("false")},
        {"natEnabled", QStringLiteral("false")},
        {"urAccepted", QStringLiteral("-1")},
        {"crashReportingEnabled", QStringLiteral("false")},
        {"autoUpgradeIntervalH", QStringLiteral("0")},
        // A lost connection is dialled again within seconds, not a minute.
        {"reconnectionIntervalS", QStringLiteral("5")},
        {"startBrowser", QStringLiteral("false")},
        // Not niced below the builds that share the machine.
        {"setLowPriority", QStringLiteral("false")},
    };
    xml.writeStartElement(QStringLiteral("options"));
    for (const auto& [name, value] : options)
        xml.writeTextElement(QLatin1String(name), value);
    xml.writeEndElement();

    xml.writeEndElement();
    xml.writeEndDocument();
    return file.flush() && !xml.hasError() ? true
                                           : fail(QStringLiteral("writing ") + file.fileName());
}

bool SyncthingPair::launch(Side& side)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), side.home);
    side.process.setProcessEnvironment(env);
    side.process.setProcessChannelMode(QProcess::MergedChannels);
    side.process.setStandardOutputFile(side.home + QStringLiteral("/syncthing.log"));
    // A process group of its own, so that stopping it reaches the process
    // that Syncthing starts under itself; and a signal to end when the test
    // dies without stopping it.
    side.process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    side.process.start(QStringLiteral("syncthing"),
                       {QStringLiteral("serve"), QStringLiteral("--home"), side.home,
                        QStringLiteral("--no-browser"), QStringLiteral("--no-restart"),
                        QStringLiteral("--no-upgrade"), QStringLiteral("--no-default-folder")});
    if (!side.process.waitForStarted(int(kRequestMs)))
        return fail(QStringLiteral("starting syncthing serve (scripts/deps.sh installs it): ") +
                    side.process.errorString());
    side.launched = true;
    return true;
}

void SyncthingPair::stop()
{
    for (Side& side : mSides)
        stopSide(side);
}

void SyncthingPair::stopSide(Side& side)
{
    side.launched = false;
    if (side.process.state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(side.process.processId());
    ::kill(-group, SIGTERM);
    if (!side.process.waitForFinished(10000)) {
        ::kill(-group, SIGKILL);
        side.process.waitForFinished(5000);
    }
    // The process Syncthing started under itself ends after it.
    QDeadlineTimer rest(10000);
    while (::kill(-group, 0) == 0 && !rest.hasExpired())
        QThread::msleep(50);
    if (::kill(-group, 0) == 0)
        ::kill(-group, SIGKILL);
}

bool SyncthingPair::connectedToOther(int side)
{
    const auto connections =
        get(side, QStringLiteral("/rest/system/connections"), QDeadlineTimer(kRequestMs));
    return connections && connections->value(QStringLiteral("connections"))
                              .toObject()
                              .value(mSides[1 - side].deviceId)
                              .toObject()
                              .value(QStringLiteral("connected"))
                              .toBool();
}

bool SyncthingPair::pause(const QDeadlineTimer& deadline)
{
    for (int i = 0; i < 2; ++i)
        if (!post(i, QStringLiteral("/rest/system/pause"), deadline))
            return fail(QStringLiteral("pausing instance %1").arg(QLatin1String(kSideNames[i])));
    return waitUntil(QStringLiteral("the paused instances parting"), deadline,
                     [&] { return !connectedToOther(0) && !connectedToOther(1); });
}

bool SyncthingPair::resume(const QDeadlineTimer& deadline)
{
    for (int i = 0; i < 2; ++i)
        if (!post(i, QStringLiteral("/rest/system/resume"), deadline))
            return fail(QStringLiteral("resuming instance %1").arg(QLatin1String(kSideNames[i])));
    return waitUntil(QStringLiteral("the resumed instances connecting again"), deadline,
                     [&] { return connectedToOther(0) && connectedToOther(1); });
}

bool SyncthingPair::scan(int side, const QDeadlineTimer& deadline)
{
    // The call returns when the scan has ended.
    return post(side, QStringLiteral("/rest/db/scan?folder=") + kFolderId, deadline)
               ? true
               : fail(QStringLiteral("a scan of instance %1").arg(QLatin1String(kSideNames[side])));
}

bool SyncthingPair::inStep()
{
    for (int i = 0; i < 2; ++i) {
        const QDeadlineTimer deadline(kRequestMs);
        const auto status = get(i, QStringLiteral("/rest/db/status?folder=") + kFolderId, deadline);
        if (!status || status->value(QStringLiteral("state")).toString() != QLatin1String("idle") ||
            status->value(QStringLiteral("needTotalItems")).toInteger(-1) != 0)
            return false;
        // What this instance knows the other to lack.
        const auto completion = get(i,
                                    QStringLiteral("/rest/db/completion?folder=%1&device=%2")
                                        .arg(kFolderId, mSides[1 - i].deviceId),
                                    deadline);
        if (!completion || completion->value(QStringLiteral("completion")).toDouble() != 100.0 ||
            completion->value(QStringLiteral("needItems")).toInteger(-1) != 0 ||
            completion->value(QStringLiteral("needDeletes")).toInteger(-1) != 0)
            return false;
    }
    return connectedToOther(0) && connectedToOther(1);
}

bool SyncthingPair::waitUntil(const QString& step, const QDeadlineTimer& deadline,
                              const std::function<bool()>& done)
{
    for (;;) {
        if (done())
            return true;
        for (const Side& side : mSides)
            if (side.launched && side.process.state() == QProcess::NotRunning)
                return fail(step + QStringLiteral(": a Syncthing instance ended"));
        if (deadline.hasExpired())
            return fail(QStringLiteral("timed out: ") + step);
        QTest::qWait(250);
    }
}

QString SyncthingPair::logTail(int side, int lines) const
{
    QFile log(mSides[side].home + QStringLiteral("/syncthing.log"));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log at ") + log.fileName() + QLatin1Char(')');
    const QStringList all = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    return log.fileName() + QStringLiteral(":\n") +
           all.mid(std::max<qsizetype>(0, all.size() - lines)).join(QLatin1Char('\n'));
}

bool SyncthingPair::fail(const QString& step)
{
    mFailure = step;
    return false;
}

std::optional<QJsonObject> SyncthingPair::get(int side, const QString& path,
                                              const QDeadlineTimer& deadline)
{
    const std::optional<QByteArray> body = request(side, path, false, deadline);
    if (!body)
        return std::nullopt;
    const QJsonDocument json = QJsonDocument::fromJson(*body);
    if (!json.isObject())
        return std::nullopt;
    return json.object();
}

bool SyncthingPair::post(int side, const QString& path, const QDeadlineTimer& deadline)
{
    return request(side, path, true, deadline).has_value();
}

std::optional<QByteArray> SyncthingPair::request(int side, const QString& path, bool isPost,
                                                 const QDeadlineTimer& deadline)
{
    QNetworkRequest call(
        QUrl(QStringLiteral("http://127.0.0.1:%1").arg(mSides[side].guiPort) + path));
    call.setRawHeader("X-API-Key", mSides[side].apiKey.toLatin1());
    if (isPost)
        call.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain"));
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(
        isPost ? mNetwork.post(call, QByteArray()) : mNetwork.get(call));
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(int(remainingMs(deadline, kRequestMs)));
    if (!reply->isFinished())
        loop.exec();
    if (!reply->isFinished()) {
        reply->abort();
        return std::nullopt;
    }
    if (reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    return reply->readAll();
}
