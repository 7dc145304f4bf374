// One diary on two computers, kept in step by a real Syncthing: two
// instances on the loopback address share one folder, and a Zedu process on
// each side, with a home of its own, writes into the calendar in its copy of
// that folder. What either computer wrote must end up in both calendars,
// also when both wrote the same day while they could not reach each other.

#include "tests/app/SyncthingPair.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <span>

namespace {

const QString kToday = QStringLiteral("2026-12-07");
const int kTodayKey = 20261207;

// One conflict gives one copy, which either side may be offered; three
// offers on one side mean that the two programs go on making conflicts.
constexpr int kAnswers = 3;

// The longest a test (each row of it) may take, here about six times what
// it takes; every step waits within it.
constexpr int kWholeSeconds = 90;

const QString kOffer =
    QStringLiteral("別のコンピューターで書かれた暦の写しがあります。取り込みますか？");

// The day entries of a calendar file that hold text, as "YYYYMMDD: text",
// read through a read-only connection of its own.
QStringList writtenDays(const QString& path)
{
    QStringList days;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral(
                    "SELECT 日付, 内容 FROM Master WHERE length(内容) > 0 ORDER BY 日付")))
                while (query.next())
                    days << query.value(0).toString() + QStringLiteral(": ") +
                                query.value(1).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return days;
}

// The entry of `day` in `days` (as writtenDays gives them).
QString entryOf(const QStringList& days, int day)
{
    const QString prefix = QString::number(day) + QStringLiteral(": ");
    for (const QString& line : days)
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    return QString();
}

// One computer: a Zedu process with a home of its own (HOME and every XDG
// folder under `root`), on the calendar `calendar`, run by the test host.
// Its first kAnswers questions are answered yes; a box after them prints
// "unanswered".
class Computer
{
public:
    Computer(const QString& root, const QString& calendar) : mRoot(root), mCalendar(calendar) {}
    ~Computer()
    {
        if (mProcess.state() != QProcess::NotRunning) {
            mProcess.kill();
            mProcess.waitForFinished();
        }
    }

    bool start(const QDeadlineTimer& deadline)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const std::pair<const char*, const char*> folders[] = {
            {"HOME", "home"},
            {"XDG_CONFIG_HOME", "config"},
            {"XDG_DATA_HOME", "data"},
            {"XDG_CACHE_HOME", "cache"},
            {"XDG_RUNTIME_DIR", "runtime"},
            {"TMPDIR", "tmp"},
        };
        for (const auto& [variable, folder] : folders) {
            const QString path = mRoot + QLatin1Char('/') + QLatin1String(folder);
            if (!QDir().mkpath(path))
                return false;
            env.insert(QLatin1String(variable), path);
        }
        QFile::setPermissions(mRoot + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        mProcess.setProcessEnvironment(env);
        mProcess.start(QStringLiteral(ZEDU_MAINHOST),
                       {QStringLiteral("--app-folder"), mRoot + QStringLiteral("/program"),
                        QStringLiteral("--calendar"), mCalendar, QStringLiteral("--today"), kToday,
                        QStringLiteral("--answers"),
                        QStringList(kAnswers, QStringLiteral("yes")).join(QLatin1Char(',')),
                        QStringLiteral("--exec")});
        return QDir().mkpath(mRoot + QStringLiteral("/program")) &&
               waitFor("ready", deadline, mOut.count("ready\n") + 1);
    }

    // Writes `text` on `day` as a user does: opens the day, types, and goes
    // back to today, which saves the entry.
    bool write(int day, const QString& text, const QDeadlineTimer& deadline)
    {
        return send("day " + QByteArray::number(day), deadline) &&
               send("type " + text.toUtf8(), deadline, "typed") &&
               send("day " + QByteArray::number(kTodayKey), deadline);
    }

    // Ends the program as the desktop does at logout.
    bool end(const QDeadlineTimer& deadline)
    {
        ::kill(pid_t(mProcess.processId()), SIGTERM);
        const bool ended = mProcess.waitForFinished(int(deadline.remainingTime()));
        mOut += mProcess.readAllStandardOutput();
        return ended && mProcess.exitStatus() == QProcess::NormalExit && mProcess.exitCode() == 0;
    }

    // What the program printed: its boxes, one a line, and the host's
    // answers to commands.
    QStringList lines()
    {
        if (mProcess.isOpen())
            mOut += mProcess.readAllStandardOutput();
        return QString::fromUtf8(mOut).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList boxes()
    {
        return lines().filter(QRegularExpression(QStringLiteral("^box |^unanswered")));
    }

private:
    bool send(const QByteArray& line, const QDeadlineTimer& deadline, QByteArray answer = {})
    {
        if (answer.isEmpty())
            answer = line;
        const qsizetype before = mOut.count(answer + '\n');
        mProcess.write(line + '\n');
        return waitFor(answer, deadline, before + 1);
    }
    bool waitFor(const QByteArray& line, const QDeadlineTimer& deadline, qsizetype times = 1)
    {
        while (mOut.count(line + '\n') < times &&
               mProcess.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            mOut += mProcess.readAllStandardOutput();
        return mOut.count(line + '\n') >= times;
    }

    QString mRoot;
    QString mCalendar;
    QProcess mProcess;
    QByteArray mOut;
};

// What a computer (0 for A, 1 for B) types on a day: in turn while the
// computers are in touch, each waiting for the other's writing to arrive
// first, or while they are apart.
struct Writing
{
    bool apart;
    int side;
    int day;
    const char* text;
};

const Writing kWritings[] = {
    {false, 0, 20261208, "一台目：朝の散歩で梅を見た"},
    {false, 1, 20261209, "二台目：午後は会議"},
    // Apart: the same day on both, a day each, and a line added to the
    // other computer's day.
    {true, 0, 20261210, "一台目：同じ日に図書館へ行った"},
    {true, 0, 20261211, "一台目だけ：夕方に買い物"},
    {true, 1, 20261210, "二台目：同じ日に映画を観た"},
    {true, 1, 20261212, "二台目だけ：夜に電話"},
    {true, 1, 20261208, "二台目が書き足した\\n"},
};

// The words of a writing as the entry holds them.
QString wordsOf(const Writing& writing)
{
    return QString::fromUtf8(writing.text).remove(QStringLiteral("\\n"));
}

} // namespace

// Fails the test unless `done`. The failure names the statement; what tells
// why (the step that timed out, the end of both Syncthing logs, what the
// programs printed) goes to standard error first, as a test's message is
// cut short.
#define REQUIRE(done)                                                                              \
    do {                                                                                           \
        if (!(done)) {                                                                             \
            explain();                                                                             \
            QFAIL(#done);                                                                          \
        }                                                                                          \
    } while (false)

class tst_TwoComputers : public QObject
{
    Q_OBJECT

    // The pair and the computers of the running test, for explain().
    SyncthingPair* mPair = nullptr;
    std::span<Computer> mComputers;
    // When the running test (each row of it) must have ended, whatever its
    // steps would wait for.
    QDeadlineTimer mWhole;

    // A step's deadline: `seconds` from now, or the test's end if sooner.
    QDeadlineTimer within(int seconds) const
    {
        const QDeadlineTimer step(seconds * 1000);
        return step.deadline() < mWhole.deadline() ? step : mWhole;
    }

    QString scratch(const QString& name) const
    {
        return qEnvironmentVariable("ZEDU_TEST_SCRATCH") + QLatin1Char('/') + name;
    }

    void explain()
    {
        QString text;
        if (mPair) {
            if (!mPair->failure().isEmpty())
                text += QStringLiteral("Syncthing: ") + mPair->failure();
            for (int side = 0; side < 2; ++side) {
                text += QStringLiteral("\n--- %1 holds:").arg(QChar(u'A' + side));
                QDirIterator files(mPair->folder(side), QDir::Files | QDir::Hidden,
                                   QDirIterator::Subdirectories);
                while (files.hasNext())
                    text +=
                        QLatin1Char(' ') + QDir(mPair->folder(side)).relativeFilePath(files.next());
            }
            for (int side = 0; side < 2; ++side)
                text += QStringLiteral("\n--- the end of Syncthing %1's log, ")
                            .arg(QChar(u'A' + side)) +
                        mPair->logTail(side);
        }
        for (int side = 0; side < int(mComputers.size()); ++side)
            text += QStringLiteral("\n--- Zedu on %1 printed:\n").arg(QChar(u'A' + side)) +
                    mComputers[side].lines().join(QLatin1Char('\n'));
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }

private slots:
    void init() { mWhole = QDeadlineTimer(kWholeSeconds * 1000); }

    void cleanup()
    {
        mPair = nullptr;
        mComputers = {};
    }

    void oneDiaryOnTwoComputers_data()
    {
        QTest::addColumn<bool>("closedWhileApart");
        QTest::newRow("both running") << false;
        QTest::newRow("both closed while apart") << true;
    }

    // Two computers write different days in turn, then the same day while
    // their Syncthing instances are paused. Once they resume, Syncthing
    // keeps the newer calendar under its name and the other as a conflict
    // copy. A Zedu that runs meanwhile takes in the calendar that replaced
    // its own and the copy (offered, and answered yes); Zedu closed while
    // the computers were apart is offered the copy when it starts. Both
    // calendars then hold every word written on either, alike.
    void oneDiaryOnTwoComputers()
    {
        QFETCH(bool, closedWhileApart);
        const QString root =
            scratch(QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-'));
        SyncthingPair pair(root);
        mPair = &pair;
        REQUIRE(pair.start(within(60)));
        const QString calendars[] = {pair.folder(0) + QStringLiteral("/Data.vad"),
                                     pair.folder(1) + QStringLiteral("/Data.vad")};
        QVERIFY(MakeCalendarFile(calendars[0], 202612, 202701));
        REQUIRE(pair.waitUntil(QStringLiteral("the calendar reaching B"), within(30), [&] {
            return FileDigest(calendars[1]) == FileDigest(calendars[0]);
        }));

        Computer computers[] = {Computer(root + QStringLiteral("/A/computer"), calendars[0]),
                                Computer(root + QStringLiteral("/B/computer"), calendars[1])};
        mComputers = computers;
        // B opens the calendar once what A's start wrote beside it (the
        // day's backup) has arrived, as a second computer would.
        for (int side = 0; side < 2; ++side) {
            REQUIRE(computers[side].start(within(60)));
            REQUIRE(pair.scan(side, within(30)));
            REQUIRE(pair.waitUntil(QStringLiteral("both in step after a start"), within(30),
                                   [&] { return pair.inStep(); }));
        }

        // Whether the calendar of `side` holds `writing`'s words on its day.
        const auto holds = [&](int side, const Writing& writing) {
            return entryOf(writtenDays(calendars[side]), writing.day).contains(wordsOf(writing));
        };
        const auto write = [&](const Writing& writing) {
            return computers[writing.side].write(writing.day, QString::fromUtf8(writing.text),
                                                 within(30)) &&
                   holds(writing.side, writing);
        };
        for (const Writing& writing : kWritings) {
            if (writing.apart)
                continue;
            REQUIRE(write(writing));
            REQUIRE(pair.waitUntil(QStringLiteral("a day written in turn reaching the other"),
                                   within(30), [&] { return holds(1 - writing.side, writing); }));
        }
        REQUIRE(pair.waitUntil(QStringLiteral("both in step before the pause"), within(30),
                               [&] { return pair.inStep(); }));

        REQUIRE(pair.pause(within(30)));
        for (const Writing& writing : kWritings)
            if (writing.apart)
                REQUIRE(write(writing));
        if (closedWhileApart)
            for (Computer& computer : computers)
                REQUIRE(computer.end(within(30)));
        // Each side's change is known to its instance before they meet.
        for (int side = 0; side < 2; ++side)
            REQUIRE(pair.scan(side, within(30)));
        REQUIRE(pair.resume(within(30)));
        const auto conflictCopies = [&](int side) {
            return QDir(pair.folder(side))
                .entryList({QStringLiteral("Data.sync-conflict-*")}, QDir::Files);
        };
        if (closedWhileApart) {
            REQUIRE(pair.waitUntil(
                QStringLiteral("the conflict copy on both sides, in step"), within(60), [&] {
                    return !conflictCopies(0).isEmpty() && conflictCopies(1) == conflictCopies(0) &&
                           pair.inStep();
                }));
            // A starts first and takes the copy in; B starts once A's
            // calendar has arrived and the copy has gone from its folder.
            REQUIRE(computers[0].start(within(60)));
            REQUIRE(pair.scan(0, within(30)));
            REQUIRE(pair.waitUntil(QStringLiteral("the copy taken in, in step"), within(30), [&] {
                return conflictCopies(0).isEmpty() && conflictCopies(1).isEmpty() && pair.inStep();
            }));
            REQUIRE(computers[1].start(within(60)));
        }

        // Syncthing's copy, NAME.sync-conflict-YYYYMMDD-HHMMSS-DEVICE7.EXT,
        // offered by the Zedu of either side.
        const QRegularExpression offer(
            QStringLiteral("^box question\\|Zedu\\|") + QRegularExpression::escape(kOffer) +
            QStringLiteral(".*/Data\\.sync-conflict-\\d{8}-\\d{6}-(%1|%2)\\.vad$")
                .arg(pair.shortId(0), pair.shortId(1)));
        // Zedu closed while apart finds the copy holding what it lacks. A
        // Zedu that runs may have written its days back into the calendar
        // that replaced its own before the copy arrives; the copy then
        // holds nothing new and is put into backup/ without a question.
        const auto copyPutAway = [&](int side) {
            return !QDir(pair.folder(side) + QStringLiteral("/backup"))
                        .entryList({QStringLiteral("Data.sync-conflict-*.vad")}, QDir::Files)
                        .isEmpty();
        };
        REQUIRE(
            pair.waitUntil(QStringLiteral("a conflict copy offered or put away"), within(60), [&] {
                if (!computers[0].boxes().filter(offer).isEmpty() ||
                    !computers[1].boxes().filter(offer).isEmpty())
                    return true;
                return !closedWhileApart && copyPutAway(0) && copyPutAway(1);
            }));

        // Settled: nothing left to carry, no copy left to take in, the same
        // calendar on both sides, holding everything.
        const auto settled = [&] {
            if (!pair.inStep() || !conflictCopies(0).isEmpty() || !conflictCopies(1).isEmpty() ||
                FileDigest(calendars[0]) != FileDigest(calendars[1]))
                return false;
            for (const Writing& writing : kWritings)
                if (!holds(0, writing) || !holds(1, writing))
                    return false;
            return true;
        };
        const auto unanswered = [&] {
            return computers[0].lines().contains(u"unanswered") ||
                   computers[1].lines().contains(u"unanswered");
        };
        REQUIRE(pair.waitUntil(QStringLiteral("both calendars alike, holding every word"),
                               within(90), [&] { return unanswered() || settled(); }));
        REQUIRE(!unanswered());

        for (Computer& computer : computers)
            REQUIRE(computer.end(within(30)));
        for (int side = 0; side < 2; ++side)
            REQUIRE(pair.scan(side, within(30)));
        REQUIRE(pair.waitUntil(QStringLiteral("both calendars alike once Zedu ended"), within(60),
                               settled));
        pair.stop();

        const QStringList days[] = {writtenDays(calendars[0]), writtenDays(calendars[1])};
        QCOMPARE(days[0], days[1]);
        // Every writing once: the day both wrote holds both versions, not
        // the versions of every merge the two programs made of them.
        for (const Writing& writing : kWritings)
            QVERIFY2(entryOf(days[0], writing.day).count(wordsOf(writing)) == 1,
                     qPrintable(entryOf(days[0], writing.day)));
        // Every box either program showed was the offer of a copy.
        for (Computer& computer : computers)
            for (const QString& box : computer.boxes())
                REQUIRE(box.contains(kOffer));
    }
};

ZEDU_TEST_MAIN(tst_TwoComputers)
#include "tst_TwoComputers.moc"
