#include "app/Main.h"
#include "platform/CalendarPath.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/types.h>

namespace {

struct HostRun
{
    int exitCode = -1;
    QStringList lines;
};

HostRun runHost(const QStringList& args)
{
    QProcess host;
    host.start(QStringLiteral(ZEDU_MAINHOST), args);
    host.closeWriteChannel();
    HostRun run;
    if (!host.waitForFinished(120000)) {
        host.kill();
        host.waitForFinished();
        return run;
    }
    run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -2;
    run.lines = QString::fromUtf8(host.readAllStandardOutput())
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

bool waitForLine(QProcess& process, const QByteArray& line)
{
    QByteArray seen;
    while (process.waitForReadyRead(120000)) {
        seen += process.readAllStandardOutput();
        if (seen.contains(line + '\n'))
            return true;
    }
    return false;
}

const QString kTwice = QStringLiteral("Zedu は既に起動しています。二重起動はできません。");

} // namespace

class tst_Main : public QObject
{
    Q_OBJECT

    QTemporaryDir appFolder;

private slots:
    void init()
    {
        setAppFolderForTesting(appFolder.path());
        ReleaseInstanceLock();
    }

    void cleanup()
    {
        delete MainWindow();
        ReleaseInstanceLock();
        setAppFolderForTesting(QString());
    }

    void openFlag_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::newRow("True") << QStringLiteral("True") << true;
        QTest::newRow("true") << QStringLiteral("true") << true;
        QTest::newRow("False") << QStringLiteral("False") << false;
        QTest::newRow("FALSE") << QStringLiteral("FALSE") << false;
        QTest::newRow("default -1") << QStringLiteral("-1") << true;
        QTest::newRow("1") << QStringLiteral("1") << true;
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("0.0") << QStringLiteral("0.0") << false;
        QTest::newRow("2.5") << QStringLiteral("2.5") << true;
        QTest::newRow("empty counts as missing") << QString() << true;
        QTest::newRow("other text counts as missing") << QStringLiteral("Yes") << true;
        QTest::newRow("number with junk counts as missing") << QStringLiteral("0x") << true;
    }
    void openFlag()
    {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(ParseOpenFlag(text), expected);
    }

    void startupSetsTheGlobalState()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        QFile existing(appFolder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));
        ScriptedDialogs boxes;
        QCOMPARE(Main(), std::optional<int>());
        delete MainWindow();
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(gDataPath, appFolder.path() + QStringLiteral("/Data.vad"));
        QVERIFY(!gOpenFlag);
        QVERIFY(gWindowsFolder.endsWith(QLatin1Char('/')));
        QVERIFY(QFile::exists(gWindowsFolder + QStringLiteral("xdg-open")));
        QCOMPARE(gWeekNames,
                 (QStringList{QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"),
                              QStringLiteral("水"), QStringLiteral("木"), QStringLiteral("金"),
                              QStringLiteral("土")}));
        QVERIFY(QFile::remove(existing.fileName()));
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("True")));
    }

    void missingOpenFlagMeansSpeedPriority()
    {
        const QString file =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/voradu/zedu.conf");
        QFile::remove(file);
        gOpenFlag = false;
        QFile existing(appFolder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));
        ScriptedDialogs boxes;
        QCOMPARE(Main(), std::optional<int>());
        delete MainWindow();
        QVERIFY(gOpenFlag);
        QVERIFY(QFile::remove(existing.fileName()));
    }

    void declinedFirstRunEndsWithoutACalendar()
    {
        ScriptedDialogs boxes;
        boxes.yes();
        boxes.no();
        boxes.ok();
        QCOMPARE(Main(), std::optional<int>(kStartupEnded));
        QCOMPARE(boxes.boxes.size(), 3);
        QCOMPARE(boxes.boxes[2].text,
                 QStringLiteral("システムの日付を変更してから、もう一度実行して下さい。"));
        QVERIFY(!QFile::exists(appFolder.filePath(QStringLiteral("Data.vad"))));
        QVERIFY(!MainWindow());
    }

    void interruptedReplacementIsNoFirstRun()
    {
        // Only the compacted copy is left: it becomes the calendar, no questions.
        const QString copy = appFolder.filePath(QStringLiteral("New.vad"));
        QVERIFY(MakeCalendarFile(copy, 202601, 202612));
        QVERIFY(WriteDayEntry(copy, 20260105, QStringLiteral("残っている")));
        ScriptedDialogs boxes;
        QCOMPARE(Main(), std::optional<int>());
        QVERIFY(boxes.boxes.isEmpty());
        const QString data = appFolder.filePath(QStringLiteral("Data.vad"));
        QVERIFY(!QFile::exists(copy));
        QCOMPARE(ReadDayField(data, 20260105, QStringLiteral("内容")).toString(),
                 QStringLiteral("残っている"));
        delete MainWindow();
        QVERIFY(QFile::remove(data));
    }

    void missingHelpViewerEndsStartup()
    {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        ScriptedDialogs boxes;
        boxes.ok();
        const std::optional<int> ended = Main();
        qputenv("PATH", path);
        QCOMPARE(ended, std::optional<int>(kStartupEnded));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("初期設定エラー")});
        QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Warning);
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Zedu"));
    }

    void dataPathFallsBackToThePerUserFolder()
    {
        // Root may write anywhere, so a read-only folder is out of reach here;
        // a folder that does not exist cannot be written either.
        setAppFolderForTesting(appFolder.filePath(QStringLiteral("not-there")));
        const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QCOMPARE(ResolveDataPath(), perUser + QStringLiteral("/Data.vad"));
        QVERIFY(QFileInfo(perUser).isDir());
        QVERIFY(perUser.startsWith(qEnvironmentVariable("ZEDU_TEST_SCRATCH")));
        setAppFolderForTesting(appFolder.path());
        QCOMPARE(ResolveDataPath(), appFolder.filePath(QStringLiteral("Data.vad")));

        // Installed for one user: ~/.local/bin can be written, yet the
        // calendar goes with the user's data; one already beside the
        // program stays in use.
        QTemporaryDir prefix;
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("share/zedu/help"))));
        QFile manual(prefix.filePath(QStringLiteral("share/zedu/help/index.html")));
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.close();
        setAppFolderForTesting(prefix.filePath(QStringLiteral("bin")));
        QCOMPARE(ResolveDataPath(), perUser + QStringLiteral("/Data.vad"));
        QVERIFY(MakeCalendarFile(prefix.filePath(QStringLiteral("bin/Data.vad")), 202612, 202612));
        QCOMPARE(ResolveDataPath(), prefix.filePath(QStringLiteral("bin/Data.vad")));
        setAppFolderForTesting(appFolder.path());
    }

    void calendarOfTheStart_data()
    {
        QTest::addColumn<QString>("remembered"); // "" none; "there"; "missing"
        QTest::addColumn<QString>("calendar");   // --calendar: "" none, "other"
        QTest::addColumn<int>("choice");         // the answer to the box of a missing one
        QTest::addColumn<QString>("opened");     // "remembered", "default", "other", "(ended)"
        QTest::newRow("the default place") << ""
                                           << "" << -1 << "default";
        QTest::newRow("the remembered one") << "there"
                                            << "" << -1 << "remembered";
        QTest::newRow("--calendar, not remembered") << "there"
                                                    << "other" << -1 << "other";
        QTest::newRow("remembered one missing, looked for again once it is there")
            << "missing"
            << "" << 0 << "remembered";
        QTest::newRow("remembered one missing, the default place for this run")
            << "missing"
            << "" << 1 << "default";
        QTest::newRow("remembered one missing, ended") << "missing"
                                                       << "" << 2 << "(ended)";
    }
    void calendarOfTheStart()
    {
        QFETCH(QString, remembered);
        QFETCH(QString, calendar);
        QFETCH(int, choice);
        QFETCH(QString, opened);
        QTemporaryDir elsewhere;
        // A sync folder: when missing, its disk is not mounted.
        const QString synced = elsewhere.filePath(QStringLiteral("同期/Data.vad"));
        const QString other = elsewhere.filePath(QStringLiteral("other.vad"));
        const QString usual = appFolder.filePath(QStringLiteral("Data.vad"));
        const auto tidy = qScopeGuard([&] {
            delete MainWindow();
            RegWrite(kRegKey, kCalendarPathValue, QString());
            QFile::remove(usual);
        });
        QVERIFY(MakeCalendarFile(usual, 202601, 202612));
        QVERIFY(MakeCalendarFile(other, 202601, 202612));
        const auto mount = [&] {
            QVERIFY(QDir().mkpath(QFileInfo(synced).absolutePath()));
            QVERIFY(MakeCalendarFile(synced, 202601, 202612));
        };
        if (remembered == QLatin1String("there"))
            mount();
        if (!remembered.isEmpty())
            QVERIFY(RememberCalendarPath(synced));
        const QString setting = RememberedCalendarPath();
        // The command line's export reads the same calendar.
        QCOMPARE(LocateDataPath(), remembered.isEmpty() ? usual : synced);

        ScriptedDialogs boxes;
        if (choice >= 0) {
            boxes.choose(choice);
            if (choice == 0)
                boxes.onBox = [&](const ScriptedDialogs::Box& box) {
                    if (box.kind == Dialogs::Kind::Choice && boxes.boxes.size() == 1)
                        mount();
                };
        }
        const std::optional<int> ended = Main(calendar.isEmpty() ? QString() : other);
        QCOMPARE(ended, opened == QLatin1String("(ended)") ? std::optional<int>(kStartupEnded)
                                                           : std::optional<int>());
        if (choice >= 0) {
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes[0].buttons,
                     (QStringList{QStringLiteral("もう一度探す"),
                                  QStringLiteral("既定の場所の暦を使う"), QStringLiteral("終了")}));
            QVERIFY(
                boxes.boxes[0].text.startsWith(QStringLiteral("暦ファイルが見つかりません。\r") +
                                               QDir::toNativeSeparators(synced)));
        } else {
            QVERIFY(boxes.boxes.isEmpty());
        }
        const QHash<QString, QString> paths = {{QStringLiteral("remembered"), synced},
                                               {QStringLiteral("default"), usual},
                                               {QStringLiteral("other"), other}};
        if (!ended)
            QCOMPARE(gDataPath, paths.value(opened));
        // Whatever was opened this time, the remembered place stays, and
        // nothing is made where the calendar was missing.
        QCOMPARE(RememberedCalendarPath(), setting);
        if (choice > 0)
            QVERIFY(!QFileInfo::exists(QFileInfo(synced).absolutePath()));
    }

    void splashShowsNoCaption()
    {
        // A real X server: the caption is read as the window system has it.
        QProcess xserver;
        xserver.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                               QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY2(xserver.waitForStarted(), "Xvfb is needed (scripts/deps.sh installs it)");
        QVERIFY(xserver.waitForReadyRead(30000));
        const QString display =
            QLatin1Char(':') + QString::fromLatin1(xserver.readAllStandardOutput()).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess host;
        host.setProcessEnvironment(env);
        host.start(QStringLiteral(ZEDU_MAINHOST),
                   {QStringLiteral("--app-folder"), appFolder.path(), QStringLiteral("--splash")});
        QByteArray seen;
        while (!seen.contains('\n') && host.waitForReadyRead(60000))
            seen += host.readAllStandardOutput();
        QVERIFY2(seen.startsWith("splash "), seen.constData());
        const QString id = QString::fromLatin1(seen.mid(7)).trimmed();
        QProcess xprop;
        xprop.setProcessEnvironment(env);
        xprop.start(
            QStringLiteral("xprop"),
            {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
        QVERIFY(xprop.waitForFinished(30000));
        const QString properties = QString::fromUtf8(xprop.readAllStandardOutput());
        host.closeWriteChannel();
        QVERIFY(host.waitForFinished(30000));
        xserver.terminate();
        xserver.waitForFinished(30000);
        QCOMPARE(properties, QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \nWM_NAME(STRING) = \n"));
    }

    void secondInstanceIsRefused()
    {
        QTemporaryDir folder;
        QFile existing(folder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));
        const QByteArray before = [&] {
            QFile f(existing.fileName());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?");
        }();

        QProcess first;
        first.start(QStringLiteral(ZEDU_MAINHOST),
                    {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--hold")});
        QVERIFY(waitForLine(first, "ready"));

        const HostRun second = runHost({QStringLiteral("--app-folder"), folder.path(),
                                        QStringLiteral("--answers"), QStringLiteral("ok")});
        QCOMPARE(second.exitCode, kStartupEnded);
        QCOMPARE(second.lines.value(0), QStringLiteral("box warning|Zedu|") + kTwice);
        QCOMPARE(second.lines.value(1), QStringLiteral("ended 1"));
        QCOMPARE(second.lines.size(), 2);

        // The first instance is unaffected and still holds the lock.
        QCOMPARE(first.state(), QProcess::Running);
        const HostRun third = runHost({QStringLiteral("--app-folder"), folder.path(),
                                       QStringLiteral("--answers"), QStringLiteral("ok")});
        QCOMPARE(third.exitCode, kStartupEnded);

        first.closeWriteChannel();
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QFile after(existing.fileName());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);

        // With the first one gone, a new start runs.
        const HostRun fourth = runHost({QStringLiteral("--app-folder"), folder.path()});
        QCOMPARE(fourth.exitCode, 0);
        QCOMPARE(fourth.lines, QStringList{QStringLiteral("running")});
    }

    void staleLockOfAKilledInstanceIsTakenOver()
    {
        QTemporaryDir folder;
        QFile existing(folder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));

        QProcess first;
        first.start(QStringLiteral(ZEDU_MAINHOST),
                    {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--hold")});
        QVERIFY(waitForLine(first, "ready"));
        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(60000));
        QVERIFY(QFile::exists(InstanceLockPath()));

        const HostRun next = runHost({QStringLiteral("--app-folder"), folder.path()});
        QCOMPARE(next.exitCode, 0);
        QCOMPARE(next.lines, QStringList{QStringLiteral("running")});
    }

    void lockOfNoRunningInstanceIsTakenOver_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x7f\x01 no lock at all\n\n");
        // A live process of this user, but the lock names another machine.
        QTest::newRow("another host") << (QByteArray::number(QCoreApplication::applicationPid()) +
                                          "\nzedu_mainhost\nsome-other-host.example\n");
    }
    void lockOfNoRunningInstanceIsTakenOver()
    {
        QFETCH(QByteArray, content);
        QFile existing(appFolder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));
        QFile lock(InstanceLockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(content);
        lock.close();
        ScriptedDialogs boxes; // the refusal would fail the test
        QCOMPARE(Main(), std::optional<int>());
        QVERIFY(MainWindow());
        // The lock is ours now: another start is refused.
        const HostRun second = runHost({QStringLiteral("--app-folder"), appFolder.path(),
                                        QStringLiteral("--answers"), QStringLiteral("ok")});
        QCOMPARE(second.lines.value(0), QStringLiteral("box warning|Zedu|") + kTwice);
        delete MainWindow();
        QVERIFY(QFile::remove(existing.fileName()));
    }

    void quitSignalSavesThePendingEntry_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void quitSignalSavesThePendingEntry()
    {
        QFETCH(int, signal);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Data.vad"));
        const QDate today = QDate::currentDate();
        QVERIFY(MakeCalendarFile(path, YearMonthOf(today), YearMonthOf(today.addMonths(1))));

        QProcess program;
        program.start(QStringLiteral(ZEDU_MAINHOST),
                      {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec"),
                       QStringLiteral("--type"), QStringLiteral("書きかけ")});
        QVERIFY(waitForLine(program, "ready"));
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(ReadDayField(path, DayKey(today), QStringLiteral("内容")).toString(),
                 QStringLiteral("書きかけ"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QString()), QStringLiteral("0"));
    }

    void otherCalendarOpenedInTheRunningProgram()
    {
        // The program's own event loop goes on with the window on the other
        // calendar: no window in between ends it.
        QTemporaryDir folder;
        QTemporaryDir synced;
        const QString other = synced.filePath(QStringLiteral("Data.vad"));
        const QDate today = QDate::currentDate();
        for (const QString& path : {folder.filePath(QStringLiteral("Data.vad")), other})
            QVERIFY(MakeCalendarFile(path, YearMonthOf(today), YearMonthOf(today.addMonths(1))));
        const auto forget = qScopeGuard([] { RegWrite(kRegKey, kCalendarPathValue, QString()); });

        QProcess program;
        program.start(QStringLiteral(ZEDU_MAINHOST),
                      {QStringLiteral("--app-folder"), folder.path(), QStringLiteral("--exec")});
        QVERIFY(waitForLine(program, "ready"));
        program.write("open " + other.toUtf8() + '\n');
        QVERIFY(waitForLine(program, "opened " + other.toUtf8()));
        program.write(QStringLiteral("type 向こうで\n").toUtf8());
        QVERIFY(waitForLine(program, "typed"));
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(ReadDayField(other, DayKey(today), QStringLiteral("内容")).toString(),
                 QStringLiteral("向こうで"));
        QCOMPARE(RememberedCalendarPath(), other);
    }

    void lockHeldInThisProcessRefusesAnotherStart()
    {
        QFile existing(appFolder.filePath(QStringLiteral("Data.vad")));
        QVERIFY(MakeCalendarFile(existing.fileName(), 202601, 202612));
        QProcess holder;
        holder.start(QStringLiteral(ZEDU_MAINHOST),
                     {QStringLiteral("--app-folder"), appFolder.path(), QStringLiteral("--hold")});
        QVERIFY(waitForLine(holder, "ready"));
        {
            ScriptedDialogs boxes;
            boxes.ok();
            gDataPath.clear();
            QCOMPARE(Main(), std::optional<int>(kStartupEnded));
            QCOMPARE(boxes.texts(), QStringList{kTwice});
            // Nothing was resolved before the refusal.
            QVERIFY(gDataPath.isEmpty());
        }
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(60000));
        QVERIFY(QFile::remove(existing.fileName()));
    }
};

ZEDU_TEST_MAIN(tst_Main)
#include "tst_Main.moc"
