// The program run in a process of its own and hit by what a user's machine
// does to it: killed, signalled while the calendar is locked, its display
// gone, its first run cut off at each step, its calendar write-protected and
// then fixed. Nothing typed may be lost, and nothing may crash.

#include "entries/RecoveryFile.h"
#include "platform/DayKey.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// A child process whose whole output is kept, to wait on and to read.
class Host
{
public:
    QProcess process;
    QByteArray out;

    void start(const QStringList& args, const QProcessEnvironment& env = {})
    {
        if (!env.isEmpty())
            process.setProcessEnvironment(env);
        process.start(QStringLiteral(ZEDU_MAINHOST), args);
    }
    // Runs the host through setpriv as `nobody` when this test runs as root,
    // which ignores every permission.
    void startUnprivileged(const QStringList& args, const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        if (::geteuid() != 0) {
            process.start(QStringLiteral(ZEDU_MAINHOST), args);
            return;
        }
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=nobody"),
                                  QStringLiteral("--regid=nogroup"),
                                  QStringLiteral("--clear-groups"), QStringLiteral(ZEDU_MAINHOST)} +
                          args);
    }
    // Waits until `line` has been printed `count` times in all.
    bool waitFor(const QByteArray& line, int count = 1)
    {
        while (out.count(line + '\n') < count) {
            if (!process.waitForReadyRead(60000))
                return false;
            out += process.readAllStandardOutput();
        }
        return true;
    }
    void send(const QString& command)
    {
        process.write(command.toUtf8() + '\n');
        process.waitForBytesWritten();
    }
    void signal(int sig) { ::kill(pid_t(process.processId()), sig); }
    bool finish()
    {
        const bool ended = process.waitForFinished(60000);
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        out += process.readAllStandardOutput();
        return ended;
    }
    QStringList lines() const
    {
        return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

QString recoveryBody(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The recovery files in the folder, whatever their state.
QStringList recoveryFiles()
{
    const QDir folder(RecoveryFolder());
    QStringList paths;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        paths << folder.filePath(name);
    return paths;
}

void clearRecoveryFiles()
{
    for (const QString& path : recoveryFiles())
        QFile::remove(path);
}

// A calendar of this month and the next two, as the host sees today.
QString makeCalendar(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("Data.vad"));
    const QDate today = QDate::currentDate();
    MakeCalendarFile(path, YearMonthOf(today), YearMonthOf(today.addMonths(2)));
    return path;
}

QString entryOf(const QString& calendar, const QDate& day)
{
    return ReadDayField(calendar, DayKey(day), QStringLiteral("内容")).toString();
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { clearRecoveryFiles(); }

    void typingIsSavedBeforeAKill()
    {
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        Host host;
        host.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
                    QStringLiteral("--type"), QStringLiteral("強制終了の前")});
        QVERIFY(host.waitFor("ready"));
        // Saved quietly about two seconds after the last change.
        QTest::qWait(3000);
        host.signal(SIGKILL);
        host.finish();
        QCOMPARE(host.process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(entryOf(calendar, QDate::currentDate()), QStringLiteral("強制終了の前"));
    }

    void signalWhileLockedKeepsARecoveryFile()
    {
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        Host host;
        host.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
                    QStringLiteral("--type"), QStringLiteral("書けない予定\n二行目")});
        QVERIFY(host.waitFor("ready"));
        {
            SqlPeek other(calendar);
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            host.signal(SIGTERM);
            QVERIFY(host.finish());
        }
        QCOMPARE(host.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(entryOf(calendar, QDate::currentDate()), QString());
        const QStringList files = recoveryFiles();
        QCOMPARE(files.size(), 1);
        const QString body = recoveryBody(files[0]);
        QVERIFY2(
            body.startsWith(QStringLiteral("日付 ") + FormatDayKey(DayKey(QDate::currentDate()))),
            qPrintable(body));
        QVERIFY(body.contains(QStringLiteral("\n時刻 ")));
        QVERIFY(body.endsWith(QStringLiteral("\n\n書けない予定\n二行目\n")));
        QVERIFY(OwnerOnly(files[0]));

        // The next start tells where it is, once.
        Host next;
        next.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--answers"),
                    QStringLiteral("ok")});
        QVERIFY(next.finish());
        const QString kept = recoveryFiles().value(0);
        QVERIFY(!kept.endsWith(QLatin1String(".new")));
        QCOMPARE(
            next.lines(),
            (QStringList{QStringLiteral("box information|Zedu|") +
                             QStringLiteral("前回の終了時に書き込めなかった予定を、次のファイル"
                                            "に残しました。\r") +
                             QDir::toNativeSeparators(kept),
                         QStringLiteral("running")}));
        Host third;
        third.start({QStringLiteral("--app-folder"), folder.path()});
        QVERIFY(third.finish());
        QCOMPARE(third.lines(), QStringList{QStringLiteral("running")});
    }

    void lostDisplayEndsWithoutLoss_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("saved") << false;
        QTest::newRow("calendar locked: recovery file") << true;
    }
    void lostDisplayEndsWithoutLoss()
    {
        QFETCH(bool, locked);
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        QVERIFY2(!xvfb.isEmpty(), "Xvfb is missing: scripts/deps.sh installs it");
        QProcess server;
        server.start(xvfb,
                     {QStringLiteral("-displayfd"), QStringLiteral("1"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24")});
        QByteArray display;
        while (!display.contains('\n') && server.waitForReadyRead(20000))
            display += server.readAllStandardOutput();
        bool started = false;
        display.trimmed().toInt(&started);
        QVERIFY2(started, "Xvfb did not start");

        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"),
                   QStringLiteral(":") + QString::fromLatin1(display.trimmed()));
        Host host;
        host.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
                    QStringLiteral("--type"), QStringLiteral("画面が消える")},
                   env);
        const bool ready = host.waitFor("ready");
        std::unique_ptr<SqlPeek> other;
        if (locked) {
            other = std::make_unique<SqlPeek>(calendar);
            QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        // Before the quiet save: the end itself must save.
        server.kill();
        server.waitForFinished();
        QVERIFY(ready);
        QVERIFY2(host.finish(), "the program did not end when its display was lost");
        other.reset();
        const QByteArray errors = host.process.readAllStandardError();
        QCOMPARE(host.process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(!errors.contains("Sanitizer") && !errors.contains("runtime error"),
                 errors.constData());
        if (locked) {
            QCOMPARE(entryOf(calendar, QDate::currentDate()), QString());
            QCOMPARE(recoveryFiles().size(), 1);
            QVERIFY(recoveryBody(recoveryFiles()[0]).endsWith(QStringLiteral("\n画面が消える\n")));
        } else {
            QCOMPARE(entryOf(calendar, QDate::currentDate()), QStringLiteral("画面が消える"));
            QVERIFY(recoveryFiles().isEmpty());
        }
    }

    void firstRunKilledAtEachPhase_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<bool>("askedAgain");
        QTest::newRow("after the questions") << QStringLiteral("questions") << true;
        QTest::newRow("after Create") << QStringLiteral("started") << true;
        QTest::newRow("inside the fill") << QStringLiteral("filled") << true;
        QTest::newRow("after the commit") << QStringLiteral("committed") << false;
    }
    void firstRunKilledAtEachPhase()
    {
        QFETCH(QString, phase);
        QFETCH(bool, askedAgain);
        QTemporaryDir folder;
        const QString calendar = folder.filePath(QStringLiteral("Data.vad"));
        Host first;
        first.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--answers"),
                     QStringLiteral("yes,yes"), QStringLiteral("--stop-at"), phase});
        QVERIFY(first.waitFor("phase " + phase.toUtf8()));
        first.signal(SIGKILL);
        first.finish();

        Host next;
        next.start({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--answers"),
                    QStringLiteral("yes,yes")});
        QVERIFY(next.finish());
        const QStringList lines = next.lines();
        QCOMPARE(lines.last(), QStringLiteral("running"));
        QCOMPARE(lines.size(), askedAgain ? 3 : 1);
        if (askedAgain)
            QVERIFY(
                lines[0].startsWith(QStringLiteral("box question|Zedu|暦ファイルを作成します。")));

        // 61 whole months from this one.
        const QDate today = QDate::currentDate();
        const QDate from(today.year(), today.month(), 1);
        SqlPeek peek(calendar);
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master")).toLongLong(),
                 from.daysTo(from.addMonths(61)));
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master")).toInt(), DayKey(from));
        QCOMPARE(peek.one(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
    }

    void writeProtectedThenFixedWithSpeedPriority()
    {
        // The program runs as a user whom permissions bind: root would write
        // through any of them.
        QTemporaryDir base;
        const passwd* nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        const QString app = base.filePath(QStringLiteral("app"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const struct
        {
            const char* variable;
            const char* folder;
        } folders[] = {{"HOME", "home"},
                       {"XDG_CONFIG_HOME", "config"},
                       {"XDG_DATA_HOME", "data"},
                       {"XDG_CACHE_HOME", "cache"},
                       {"XDG_RUNTIME_DIR", "runtime"},
                       {"TMPDIR", "tmp"}};
        for (const auto& f : folders) {
            const QString path = base.filePath(QLatin1String(f.folder));
            QVERIFY(QDir().mkpath(path));
            env.insert(QLatin1String(f.variable), path);
        }
        QVERIFY(QDir().mkpath(app));
        const QString calendar = app + QStringLiteral("/Data.vad");
        const QDate today = QDate::currentDate();
        QVERIFY(MakeCalendarFile(calendar, YearMonthOf(today), YearMonthOf(today.addMonths(2))));
        if (::geteuid() == 0) {
            QVERIFY(::chmod(QFile::encodeName(base.path()).constData(), 0755) == 0);
            for (const QString& name :
                 QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
                QVERIFY(::chown(QFile::encodeName(base.filePath(name)).constData(), nobody->pw_uid,
                                nobody->pw_gid) == 0);
            }
            QVERIFY(::chown(QFile::encodeName(calendar).constData(), nobody->pw_uid,
                            nobody->pw_gid) == 0);
        }
        QVERIFY(QFile::setPermissions(base.filePath(QStringLiteral("runtime")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(calendar, QFile::ReadOwner));

        Host host;
        host.startUnprivileged({QStringLiteral("--app-folder"), app, QStringLiteral("--commands"),
                                QStringLiteral("--answers"), QStringLiteral("ok,ok,ok,ok")},
                               env);
        QVERIFY(host.waitFor("ready"));
        const QString readOnly = QStringLiteral("box warning|Zedu|暦ファイルに書き込むことができま"
                                                "せん。入力した予定や変更は保存されません。\r") +
                                 QDir::toNativeSeparators(calendar);
        QCOMPARE(host.lines().count(readOnly), 1);

        host.send(QStringLiteral("type 保護されていた"));
        host.send(QStringLiteral("day %1").arg(DayKey(today.addDays(1))));
        QVERIFY(host.waitFor("done day"));
        const QString failed =
            QStringLiteral("box warning|Zedu|暦ファイルの読み書きに失敗しました。"
                           "\r暦ファイルに書き込む権限がないか、読み取り専用に"
                           "なっています。\r");
        // Each step of the move tried to save, and said why it could not.
        const int failures = int(host.lines().filter(failed).size());
        QVERIFY2(failures >= 1, host.out.constData());
        QCOMPARE(entryOf(calendar, today), QString());

        // Fixed while the program runs: the next save point writes.
        QVERIFY(QFile::setPermissions(calendar, QFile::ReadOwner | QFile::WriteOwner));
        host.send(QStringLiteral("day %1").arg(DayKey(today.addDays(2))));
        QVERIFY(host.waitFor("done day", 2));
        QCOMPARE(entryOf(calendar, today), QStringLiteral("保護されていた"));
        host.send(QStringLiteral("close"));
        host.process.closeWriteChannel();
        QVERIFY(host.finish());
        QCOMPARE(host.process.exitCode(), 0);
        // The warning at start and those of the failed save, nothing more.
        QCOMPARE(host.lines().filter(QStringLiteral("box ")).size(), 1 + failures);
    }
};

ZEDU_TEST_MAIN(tst_Faults)
#include "tst_Faults.moc"
