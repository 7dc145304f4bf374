// The program run in a process of its own and hit by what a user's machine
// does to it: killed, signalled while the calendar is locked, its display
// gone, its first run cut off, its calendar write-protected and then fixed.
// Nothing typed may be lost, and nothing may crash.

#include "entries/RecoveryFile.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

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
    // Types into the entry box of a host run with --exec.
    bool type(const QString& text)
    {
        process.write("type " + text.toUtf8() + '\n');
        const qsizetype typedBefore = out.count("typed\n");
        while (out.count("typed\n") == typedBefore && process.waitForReadyRead(60000))
            out += process.readAllStandardOutput();
        return out.count("typed\n") > typedBefore;
    }
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

QStringList recoveryFiles(const QString& folder = RecoveryFolder())
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("Entry-*")}, QDir::Files))
        paths << folder + QLatin1Char('/') + name;
    return paths;
}

// The notice of the next start that names `files`.
QString recoveryNotice(const QStringList& files)
{
    return QStringLiteral("box information|Zedu|") + RecoveryNoticeText(files);
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

// A host that tries failed work again every `retryMs` milliseconds.
QStringList retrying(const QTemporaryDir& folder, int retryMs)
{
    return {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
            QStringLiteral("--retry-ms"), QString::number(retryMs)};
}

const QString kPassword = QStringLiteral("合言葉");

SecureBytes password()
{
    QString copy = kPassword;
    return SecureBytes::takeText(copy);
}

// Encrypts `calendar` with cheap limits and lets its keys go again.
void encrypt(const QString& calendar)
{
    gDataPath = calendar;
    EncryptCalendar(password(), Argon2Kdf::withLimits(1, 8));
    ForgetCalendarKeys();
}

// The entry of today in the encrypted `calendar`, read with its password;
// the keys stay held, for reading sealed recovery files.
QString encryptedEntryOf(const QString& calendar)
{
    gDataPath = calendar;
    ForgetCalendarKeys();
    UnlockCalendar(password());
    QString text;
    gMaster.PlanLoad(DayKey(today), text);
    gDatabase.close();
    return text;
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QDir(RecoveryFolder()).removeRecursively();
        ForgetCalendarKeys();
    }

    void encryptedCalendarTerminatedWhileUnwritable()
    {
        const QString marker = QStringLiteral("ひみつの合図");
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        encrypt(calendar);
        const QStringList unlock{QStringLiteral("--answers"), QStringLiteral("pw:") + kPassword};
        Host host(typing(folder, marker + QStringLiteral("\n二行目")) + unlock);
        QVERIFY(host.waitFor("ready"));
        // A folder under the name of the file that replaces the calendar:
        // no write of the calendar can be completed while it is there.
        QVERIFY(QDir().mkdir(folder.filePath(QStringLiteral(".Data.vad.part"))));
        host.signal(SIGTERM);
        QVERIFY(host.finish());
        QVERIFY(!host.process.readAllStandardError().contains(marker.toUtf8()));
        QCOMPARE(encryptedEntryOf(calendar), QString());
        QCOMPARE(FilesHolding(qEnvironmentVariable("ZEDU_TEST_SCRATCH"), marker), QStringList());
        const QStringList kept = recoveryFiles();
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept[0].endsWith(QLatin1String(".enc")));
        QCOMPARE(ReadRecoveryFile(kept[0]).text, marker + QStringLiteral("\r\n二行目"));
        // The next start asks for the password, then says where the file
        // is and how it is read.
        Host next(QStringList{QStringLiteral("--app-folder"), folder.path(),
                              QStringLiteral("--answers"),
                              QStringLiteral("pw:") + kPassword + QStringLiteral(",ok")});
        QVERIFY(next.finish());
        QCOMPARE(next.lines().mid(1),
                 (QStringList{recoveryNotice(kept), QStringLiteral("running")}));
        QVERIFY(recoveryNotice(kept).endsWith(QStringLiteral(
            "\r暗号化したファイルは、「環境」メニューの「暗号化」の「回復用ファイルを"
            "読む」で読むことができます。")));
    }

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

    void steadyTypingKilledLosesAtMostTheLastFiveSeconds_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("saved in the calendar") << false;
        QTest::newRow("calendar locked: kept in a recovery file") << true;
    }
    void steadyTypingKilledLosesAtMostTheLastFiveSeconds()
    {
        // What a kill may lose of typing that never pauses.
        constexpr qint64 kMostLostMs = 5000;
        QFETCH(bool, locked);
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        // The program's own intervals, given by the host.
        Host host({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
                   QStringLiteral("--quiet-save-ms"), QString::number(kQuietSaveDelayMs),
                   QStringLiteral("--typing-save-limit-ms"), QString::number(kTypingSaveLimitMs)});
        QVERIFY(host.waitFor("ready"));
        std::optional<SqlPeek> other;
        if (locked) {
            other.emplace(calendar);
            QVERIFY(other->exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        // A key every 0.15 s for 15 s, far less than the pause the save
        // after the last key waits for; each key a character of its own.
        QString typed;
        QList<qint64> typedAt;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 100; ++i) {
            const qint64 due = i * 150;
            if (clock.elapsed() < due)
                QThread::msleep(quint64(due - clock.elapsed()));
            const QString key(QChar(0x3042 + i % 80));
            QVERIFY(host.type(key));
            typed += key;
            typedAt << clock.elapsed();
        }
        const qint64 killedAt = clock.elapsed();
        host.signal(SIGKILL);
        host.finish();
        other.reset();

        QStringList kept = recoveryFiles();
        QCOMPARE(kept.size(), locked ? 1 : 0);
        const QString saved = locked ? ReadRecoveryFile(kept[0]).text : entryOf(calendar);
        if (locked)
            QCOMPARE(entryOf(calendar), QString());
        // What was typed, up to a key typed at most five seconds before the
        // kill.
        QVERIFY2(typed.startsWith(saved), qPrintable(saved));
        const qsizetype keysDue = std::count_if(typedAt.begin(), typedAt.end(), [&](qint64 at) {
            return at <= killedAt - kMostLostMs;
        });
        QVERIFY2(saved.size() >= keysDue,
                 qPrintable(QStringLiteral("%1 of %2 keys kept, %3 typed 5 s before the kill")
                                .arg(saved.size())
                                .arg(typed.size())
                                .arg(keysDue)));
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

    void entryThatCannotBeWrittenIsTriedAgainAndKept_data()
    {
        QTest::addColumn<bool>("released");
        QTest::newRow("lock released: saved") << true;
        QTest::newRow("lock held: recovery file") << false;
    }
    void entryThatCannotBeWrittenIsTriedAgainAndKept()
    {
        QFETCH(bool, released);
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        Host host(retrying(folder, 500));
        QVERIFY(host.waitFor("ready"));
        {
            SqlPeek other(calendar);
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(host.type(QStringLiteral("鍵の間に\\n書いた")));
            // Kept on disk while it cannot be written: complete under its
            // name, not only begun (a kill would leave the temporary file).
            QTRY_COMPARE_WITH_TIMEOUT(recoveryFiles().size(), 1, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!recoveryFiles().value(0).endsWith(QLatin1String(".part")),
                                     5000);
            if (!released)
                host.signal(SIGKILL);
        }
        if (released) {
            QTRY_COMPARE_WITH_TIMEOUT(entryOf(calendar), QStringLiteral("鍵の間に\r\n書いた"),
                                      8000);
            QCOMPARE(recoveryFiles(), QStringList());
            host.signal(SIGKILL);
        }
        host.finish();
        QCOMPARE(entryOf(calendar), released ? QStringLiteral("鍵の間に\r\n書いた") : QString());
        if (released)
            return;
        const QStringList kept = recoveryFiles();
        QCOMPARE(kept.size(), 1);
        QVERIFY(contents(kept[0]).endsWith(QStringLiteral("\n\n鍵の間に\n書いた\n")));
        Host next({QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--answers"),
                   QStringLiteral("ok")});
        QVERIFY(next.finish());
        QCOMPARE(next.lines(), (QStringList{recoveryNotice(kept), QStringLiteral("running")}));
    }

    void replacedCalendarTakesTheNextSaves_data() { AddSpeedPriorityRows(); }
    void replacedCalendarTakesTheNextSaves()
    {
        QFETCH(bool, speed);
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"),
                         speed ? QStringLiteral("True") : QStringLiteral("False")));
        QTemporaryDir folder;
        const QString calendar = makeCalendar(folder);
        // The first quiet save must find the new file: no second attempt
        // comes within the test.
        Host host(retrying(folder, 60000));
        QVERIFY(host.waitFor("ready"));
        // A sync tool brings the other side's calendar: a file of its own,
        // renamed over the one in use.
        const QString synced = folder.filePath(QStringLiteral("sync.tmp"));
        QVERIFY(QFile::copy(calendar, synced));
        const int otherDay = DayKey(today.addDays(today.day() == 1 ? 1 : -1));
        QVERIFY(WriteDayEntry(synced, otherDay, QStringLiteral("向こうの予定")));
        QVERIFY(::rename(QFile::encodeName(synced).constData(),
                         QFile::encodeName(calendar).constData()) == 0);
        QVERIFY(host.type(QStringLiteral("置き換えの後")));
        QTRY_COMPARE_WITH_TIMEOUT(entryOf(calendar), QStringLiteral("置き換えの後"), 5000);
        host.signal(SIGKILL);
        host.finish();
        QCOMPARE(entryOf(calendar), QStringLiteral("置き換えの後"));
        QCOMPARE(ReadDayField(calendar, otherDay, QStringLiteral("内容")).toString(),
                 QStringLiteral("向こうの予定"));
        QCOMPARE(recoveryFiles(), QStringList());
    }

    void recoveryFilesFallBackToFoldersThatTakeThem_data()
    {
        QTest::addColumn<bool>("calendarFolderWritable");
        QTest::addColumn<bool>("tempWritable");
        QTest::addColumn<bool>("encrypted");
        QTest::newRow("the calendar's folder") << true << true << false;
        QTest::newRow("the temporary folder") << false << true << false;
        QTest::newRow("no folder: standard error") << false << false << false;
        QTest::newRow("encrypted: the calendar's folder") << true << true << true;
        QTest::newRow("encrypted: the temporary folder") << false << true << true;
        QTest::newRow("encrypted: no folder, nothing on standard error") << false << false << true;
    }
    void recoveryFilesFallBackToFoldersThatTakeThem()
    {
        // Root writes through any permission: the program runs as nobody.
        QFETCH(bool, calendarFolderWritable);
        QFETCH(bool, tempWritable);
        QFETCH(bool, encrypted);
        QTemporaryDir base;
        const QString home = base.filePath(QStringLiteral("home"));
        const QString data = base.filePath(QStringLiteral("data"));
        const QString app = base.filePath(QStringLiteral("app"));
        const QString temp = base.filePath(QStringLiteral("tmp"));
        // The instance lock's folder, the one folder left writable.
        const QString runtime = base.filePath(QStringLiteral("run"));
        for (const QString& path : {home, data, app, temp, runtime})
            QVERIFY(QDir().mkpath(path));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString calendar = app + QStringLiteral("/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, YearMonthOf(today), YearMonthOf(today)));
        if (encrypted)
            encrypt(calendar);
        QStringList nobodys{home, data, temp, runtime, calendar};
        if (calendarFolderWritable)
            nobodys << app;
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            QVERIFY(nobody);
            for (const QString& path : nobodys)
                QVERIFY(::chown(QFile::encodeName(path).constData(), nobody->pw_uid,
                                nobody->pw_gid) == 0);
        }
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(base.path(), readOnly));
        QVERIFY(QFile::setPermissions(data, readOnly));
        if (!calendarFolderWritable)
            QVERIFY(QFile::setPermissions(app, readOnly));
        if (!tempWritable)
            QVERIFY(QFile::setPermissions(temp, readOnly));
        QVERIFY(QFile::setPermissions(calendar, QFile::ReadOwner));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            env.insert(QLatin1String(name), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        env.insert(QStringLiteral("TMPDIR"), temp);
        const QStringList start{
            QStringLiteral("--app-folder"), app, QStringLiteral("--answers"),
            (encrypted ? QStringLiteral("pw:") + kPassword + QLatin1Char(',') : QString()) +
                QStringLiteral("ok,ok")};

        Host host(start + QStringList{QStringLiteral("--exec"), QStringLiteral("--type"),
                                      QStringLiteral("行き場を探す")},
                  env, true);
        QVERIFY(host.waitFor("ready"));
        host.signal(SIGTERM);
        QVERIFY(host.finish());
        const QByteArray errors = host.process.readAllStandardError();
        for (const QString& path : {base.path(), data, app, temp})
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!tempWritable) {
            // Nowhere to keep it: plain text goes to the session's log, the
            // text of an encrypted calendar nowhere.
            QCOMPARE(recoveryFiles(app) + recoveryFiles(temp), QStringList());
            QCOMPARE(errors.contains("行き場を探す"), !encrypted);
            QCOMPARE(errors.contains("the entry of " + FormatDayKey(DayKey(today)).toUtf8() +
                                     " could not be kept"),
                     encrypted);
            return;
        }
        const QStringList kept = recoveryFiles(calendarFolderWritable ? app : temp);
        QCOMPARE(kept.size(), 1);
        if (encrypted) {
            QVERIFY(kept[0].endsWith(QLatin1String(".enc")));
            QVERIFY(!contents(kept[0]).contains(QStringLiteral("行き場を探す")));
            encryptedEntryOf(calendar);
            QCOMPARE(ReadRecoveryFile(kept[0]).text, QStringLiteral("行き場を探す"));
        } else {
            QVERIFY(contents(kept[0]).endsWith(QStringLiteral("\n\n行き場を探す\n")));
        }
        QCOMPARE(QDir(temp).entryList(QDir::Files | QDir::Hidden).size(),
                 calendarFolderWritable ? 0 : 1);

        QVERIFY(QFile::setPermissions(base.path(), readOnly));
        QVERIFY(QFile::setPermissions(data, readOnly));
        if (!calendarFolderWritable)
            QVERIFY(QFile::setPermissions(app, readOnly));
        // One in the temporary folder is named with the warning that it may
        // be emptied, and moved to the recovery folder as soon as that can
        // be written.
        const QByteArray bytes = readFile(kept[0]);
        Host next(start + QStringList{QStringLiteral("--exec"), QStringLiteral("--retry-ms"),
                                      QStringLiteral("200")},
                  env, true);
        QVERIFY(next.waitFor("ready"));
        QVERIFY2(
            next.lines().contains(recoveryNotice(kept) +
                                  (calendarFolderWritable ? QString() : kTemporaryFolderNotice)),
            next.out.constData());
        if (!calendarFolderWritable) {
            QVERIFY(QFile::setPermissions(data,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QTRY_COMPARE_WITH_TIMEOUT(recoveryFiles(temp), QStringList(), 10000);
            const QStringList moved = recoveryFiles(data + QStringLiteral("/voradu/zedu/recovery"));
            QCOMPARE(moved.size(), 1);
            QCOMPARE(readFile(moved[0]), bytes);
        }
        next.signal(SIGTERM);
        QVERIFY(next.finish());
        for (const QString& path : {base.path(), data, app})
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
