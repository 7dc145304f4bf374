// The program run in a process of its own and hit by what a user's machine
// does to it: killed, signalled while the calendar is locked, its display
// gone, its first run cut off, its calendar write-protected and then fixed.
// Nothing typed may be lost, and nothing may crash.

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
#include <unistd.h>

namespace {

// The day the child processes take as today, whatever the machine's clock.
const QDate today(2026, 12, 7);

// A child process whose whole output is kept.
struct Host
{
    QProcess process;
    QByteArray out;

    // As root, `unprivileged` runs it as nobody, whom permissions bind.
    explicit Host(QStringList args, const QProcessEnvironment& env = {}, bool unprivileged = false)
    {
        if (!env.isEmpty())
            process.setProcessEnvironment(env);
        args = QStringList{QStringLiteral(ZEDU_MAINHOST), QStringLiteral("--today"),
                           today.toString(Qt::ISODate)} +
               args;
        if (unprivileged && ::geteuid() == 0)
            args =
                QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                            QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")} +
                args;
        process.start(args.takeFirst(), args);
    }
    bool waitFor(const QByteArray& line)
    {
        while (!out.contains(line + '\n') && process.waitForReadyRead(60000))
            out += process.readAllStandardOutput();
        return out.contains(line + '\n');
    }
    void signal(int sig) { ::kill(pid_t(process.processId()), sig); }
    bool finish()
    {
        const bool ended = process.waitForFinished(60000);
        if (!ended)
            process.kill();
        process.waitForFinished();
        out += process.readAllStandardOutput();
        return ended;
    }
    QStringList lines() const
    {
        return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

QString makeCalendar(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("Data.vad"));
    MakeCalendarFile(path, YearMonthOf(today), YearMonthOf(today.addMonths(1)));
    return path;
}

QString entryOf(const QString& calendar)
{
    return ReadDayField(calendar, DayKey(today), QStringLiteral("内容")).toString();
}

QStringList recoveryFiles()
{
    QStringList paths;
    for (const QString& name : QDir(RecoveryFolder()).entryList(QDir::Files))
        paths << RecoveryFolder() + QLatin1Char('/') + name;
    return paths;
}

QString contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList typing(const QTemporaryDir& folder, const QString& text)
{
    return {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
            QStringLiteral("--type"), text};
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QDir(RecoveryFolder()).removeRecursively(); }

    void typingIsSavedBeforeAKill()
    {
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        Host host(typing(folder, QStringLiteral("強制終了の前")) +
                  QStringList{QStringLiteral("--quiet-save-ms"), QStringLiteral("50")});
        QVERIFY(host.waitFor("ready"));
        QTRY_COMPARE_WITH_TIMEOUT(entryOf(calendar), QStringLiteral("強制終了の前"), 30000);
        host.signal(SIGKILL);
        host.finish();
        QCOMPARE(entryOf(calendar), QStringLiteral("強制終了の前"));
    }

    void signalWhileLockedKeepsARecoveryFile()
    {
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        Host host(typing(folder, QStringLiteral("書けない予定\n二行目")));
        QVERIFY(host.waitFor("ready"));
        {
            SqlPeek other(calendar);
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            host.signal(SIGTERM);
            QVERIFY(host.finish());
        }
        QCOMPARE(host.process.exitCode(), 0);
        QCOMPARE(entryOf(calendar), QString());
        QCOMPARE(recoveryFiles().size(), 1);
        const QString body = contents(recoveryFiles()[0]);
        QVERIFY2(body.startsWith(QStringLiteral("日付 ") + FormatDayKey(DayKey(today))),
                 qPrintable(body));
        QVERIFY(body.endsWith(QStringLiteral("\n\n書けない予定\n二行目\n")));
        QVERIFY(OwnerOnly(recoveryFiles()[0]));

        // The next start says where it is, and only that start.
        for (const bool first : {true, false}) {
            Host next({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--answers"),
                       QStringLiteral("ok")});
            QVERIFY(next.finish());
            const QStringList notice{
                QStringLiteral("box information|Zedu|前回の終了時に書き込めなかった予定を、次の"
                               "ファイルに残しました。\r") +
                QDir::toNativeSeparators(recoveryFiles().value(0))};
            QCOMPARE(next.lines(),
                     (first ? notice : QStringList()) + QStringList{QStringLiteral("running")});
        }
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
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray display;
        while (!display.contains('\n') && server.waitForReadyRead(20000))
            display += server.readAllStandardOutput();
        QVERIFY2(display.endsWith('\n'), "Xvfb did not start");

        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"),
                   QStringLiteral(":") + QString::fromLatin1(display).trimmed());
        Host host(typing(folder, QStringLiteral("画面が消える")), env);
        const bool ready = host.waitFor("ready");
        SqlPeek other(calendar);
        if (locked)
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        // At once, before the quiet save: the end itself must save.
        server.kill();
        server.waitForFinished();
        QVERIFY(ready);
        QVERIFY2(host.finish(), "the program did not end when its display was lost");
        other.exec(QStringLiteral("ROLLBACK"));
        const QByteArray errors = host.process.readAllStandardError();
        QCOMPARE(host.process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(!errors.contains("Sanitizer") && !errors.contains("runtime error"),
                 errors.constData());
        QCOMPARE(entryOf(calendar), locked ? QString() : QStringLiteral("画面が消える"));
        QCOMPARE(recoveryFiles().size(), locked ? 1 : 0);
        if (locked)
            QVERIFY(contents(recoveryFiles()[0]).endsWith(QStringLiteral("\n画面が消える\n")));
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
        const QStringList firstRun{QStringLiteral("--app-folder"), folder.path(),
                                   QStringLiteral("--answers"), QStringLiteral("yes,yes")};
        Host first(firstRun + QStringList{QStringLiteral("--stop-at"), phase});
        QVERIFY(first.waitFor("phase " + phase.toUtf8()));
        first.signal(SIGKILL);
        first.finish();

        Host next(firstRun);
        QVERIFY(next.finish());
        QCOMPARE(next.lines().size(), askedAgain ? 3 : 1);
        QVERIFY(next.lines()[0].startsWith(askedAgain
                                               ? QStringLiteral("box question|Zedu|暦ファイル"
                                                                "を作成します。")
                                               : QStringLiteral("running")));
        const QDate from(today.year(), today.month(), 1);
        SqlPeek peek(folder.filePath(QStringLiteral("Data.vad")));
        QCOMPARE(peek.one(QStringLiteral("SELECT count(*) FROM Master")).toLongLong(),
                 from.daysTo(from.addMonths(61)));
        QCOMPARE(peek.one(QStringLiteral("SELECT min(日付) FROM Master")).toInt(), DayKey(from));
    }

    void writeProtectedThenFixedWithSpeedPriority()
    {
        // Root writes through any permission: the program runs as nobody,
        // with its home, runtime folder and calendar in one folder of its own.
        QTemporaryDir base;
        const QString calendar = makeCalendar(base);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                 "XDG_RUNTIME_DIR", "TMPDIR"})
            env.insert(QLatin1String(name), base.path());
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            QVERIFY(nobody);
            for (const QString& path : {base.path(), calendar})
                QVERIFY(::chown(QFile::encodeName(path).constData(), nobody->pw_uid,
                                nobody->pw_gid) == 0);
        }
        QVERIFY(QFile::setPermissions(calendar, QFile::ReadOwner));
        Host host(typing(base, QStringLiteral("保護されていた")) +
                      QStringList{QStringLiteral("--answers"), QStringLiteral("ok")},
                  env, true);
        QVERIFY(host.waitFor("ready"));
        // One warning at start, naming the file.
        QCOMPARE(
            host.lines().first(),
            QStringLiteral("box warning|Zedu|暦ファイルに書き込むことができません。入力した予定"
                           "や変更は保存されません。\r") +
                QDir::toNativeSeparators(calendar));
        // The quiet save after typing fails on the write-protected file,
        // without a word.
        QTest::qWait(3500);
        QCOMPARE(entryOf(calendar), QString());
        // Fixed while the program runs: its next save writes.
        QVERIFY(QFile::setPermissions(calendar, QFile::ReadOwner | QFile::WriteOwner));
        host.signal(SIGTERM);
        QVERIFY(host.finish());
        QCOMPARE(entryOf(calendar), QStringLiteral("保護されていた"));
        QCOMPARE(host.lines().filter(QStringLiteral("box ")).size(), 1);
    }
};

ZEDU_TEST_MAIN(tst_Faults)
#include "tst_Faults.moc"
