// The command line: its arguments, and the real program run as a script
// would, without a display.

#include "app/CommandLine.h"
#include "platform/Globals.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QDirIterator>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString program;

    // The program in a folder of its own, where it looks for its calendar
    // first, run like a script: no display of any kind.
    Run zedu(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir->path());
        process.start(program, arguments);
        Run run;
        if (!process.waitForFinished(120000))
            return run;
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    QString path(const char* name) const { return dir->filePath(QLatin1String(name)); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(path("app")));
        program = path("app/zedu");
        QVERIFY(QFile::copy(QStringLiteral(ZEDU_PROGRAM), program));
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("parsed"); // action format from to entries calendar, or the error
        auto row = [](const char* name, QStringList arguments, const char16_t* parsed) {
            QTest::newRow(name) << arguments << QString::fromUtf16(parsed);
        };
        row("help", {u"--export"_s, u"a.txt"_s, u"--help"_s}, u"help");
        row("version", {u"--version"_s}, u"version");
        row("suffix", {u"--export"_s, u"diary.JSON"_s}, u"export json 0 0 no ");
        row("everything",
            {u"--export=out"_s, u"--format"_s, u"text-per-day"_s, u"--from"_s, u"202601"_s,
             u"--to=202612"_s, u"--entries-only"_s, u"--calendar"_s, u"/x/Data.vad"_s},
            u"export text-per-day 202601 202612 yes /x/Data.vad");
        row("no export", {u"--format"_s, u"csv"_s},
            u"--export で書き出すファイルを指定して下さい。");
        row("unknown option", {u"--export"_s, u"a.txt"_s, u"--pdf"_s},
            u"--pdf というオプションはありません。");
        row("stray value", {u"--export"_s, u"a.txt"_s, u"b.txt"_s},
            u"「b.txt」は何の値かわかりません。");
        row("missing value", {u"--export"_s, u"a.txt"_s, u"--from"_s},
            u"--from の値がありません。");
        row("twice", {u"--export"_s, u"a.txt"_s, u"--export"_s, u"b.txt"_s},
            u"--export が二度指定されています。");
        row("month", {u"--export"_s, u"a.txt"_s, u"--to"_s, u"202613"_s},
            u"--to の「202613」は年月ではありません（202612 の形で書きます）。");
        row("order", {u"--export"_s, u"a.txt"_s, u"--from"_s, u"202702"_s, u"--to"_s, u"202701"_s},
            u"--from の月が --to の月より後です。");
        row("format", {u"--export"_s, u"a.txt"_s, u"--format"_s, u"docx"_s},
            u"形式「docx」はありません。");
        row("no suffix", {u"--export"_s, u"diary"_s},
            u"「diary」の形式がわかりません。--format で指定して下さい。");
        row("flag value", {u"--export"_s, u"a.txt"_s, u"--entries-only=1"_s},
            u"--entries-only は値をとりません。");
        row("password in an argument", {u"--export"_s, u"a.txt"_s, u"--password"_s, u"x"_s},
            u"--password というオプションはありません。");
        row("password descriptor", {u"--export"_s, u"a.txt"_s, u"--password-fd"_s, u"stdin"_s},
            u"--password-fd の「stdin」はファイル記述子の番号ではありません。");
        row("option instead of the file", {u"--export"_s, u"--calendar"_s, u"x.vad"_s},
            u"--export の値がありません。");
        row("file named like an option", {u"--export=--x.txt"_s}, u"export text 0 0 no ");
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, parsed);
        const CommandLine c = ParseCommandLine(arguments);
        QString seen = c.error;
        if (seen.isEmpty() && c.action == CommandLine::Action::Help)
            seen = QStringLiteral("help");
        else if (seen.isEmpty() && c.action == CommandLine::Action::Version)
            seen = QStringLiteral("version");
        else if (seen.isEmpty())
            seen =
                QStringLiteral("export %1 %2 %3 %4 %5")
                    .arg(FormatName(*c.format))
                    .arg(c.fromYm)
                    .arg(c.toYm)
                    .arg(c.entriesOnly ? QStringLiteral("yes") : QStringLiteral("no"), c.calendar);
        QCOMPARE(seen, parsed);
    }

    void everyFormatWithoutADisplay_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("text") << "text" << QByteArray("2026/12/07(月)\n会議\n");
        QTest::newRow("markdown") << "markdown" << QByteArray("## 2026年12月7日（月）\n");
        QTest::newRow("csv") << "csv"
                             << QByteArray("\xEF\xBB\xBF日付,曜日,平日,内容\r\n20261207,1,1,");
        QTest::newRow("json") << "json" << QByteArray("{\"format\":\"zedu-diary\"");
        QTest::newRow("ics") << "ics" << QByteArray("BEGIN:VCALENDAR\r\n");
        QTest::newRow("pdf") << "pdf" << QByteArray("%PDF-");
        QTest::newRow("text-per-day") << "text-per-day" << QByteArray("会議\n");
    }

    void everyFormatWithoutADisplay()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, start);
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        QVERIFY(WriteDayEntry(calendar, 20261207, QStringLiteral("会議")));
        const QByteArray before = FileDigest(calendar);
        // The program is open and writing meanwhile: the export only reads.
        SqlPeek program(calendar);
        QVERIFY(program.exec(QStringLiteral("BEGIN IMMEDIATE")));

        // Without a terminal nothing is said, not even the progress line
        // (told to show at once).
        qputenv("ZEDU_PROGRESS_AFTER_MS", "0");
        const auto restore = qScopeGuard([] { qunsetenv("ZEDU_PROGRESS_AFTER_MS"); });
        const Run run =
            zedu({QStringLiteral("--export"), QStringLiteral("out"), QStringLiteral("--format"),
                  format, QStringLiteral("--entries-only")});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        const QString out =
            path(format == QLatin1String("text-per-day") ? "out/2026-12-07.txt" : "out");
        QVERIFY2(readFile(out).startsWith(start), readFile(out).left(80).constData());
        QVERIFY(program.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(FileDigest(calendar), before);
        QCOMPARE(QDir(path("app")).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("Data.vad"), QStringLiteral("zedu")}));
    }

    void encryptedCalendar_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("password from standard input") << "fd" << 0 << QString();
        QTest::newRow("asked on the terminal, not shown") << "terminal" << 0 << QString();
        QTest::newRow("wrong password") << "wrong" << 1 << "zedu: パスワードが違います。";
        QTest::newRow("no terminal, no descriptor")
            << "none" << 1
            << "zedu: 暦ファイルは暗号化されています。端末がないときは --password-fd でパスワード"
               "を渡して下さい。";
    }
    void encryptedCalendar()
    {
        QFETCH(QString, how);
        QFETCH(int, status);
        QFETCH(QString, error);
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        QVERIFY(WriteDayEntry(calendar, 20261207, QStringLiteral("会議")));
        gDataPath = calendar;
        QString password = QStringLiteral("合言葉");
        EncryptCalendar(SecureBytes::takeText(password), Argon2Kdf::withLimits(1, 8));
        ForgetCalendarKeys();
        const QByteArray before = FileDigest(calendar);

        QStringList arguments{program, QStringLiteral("--export"), path("out.txt"),
                              QStringLiteral("--entries-only")};
        if (how == QLatin1String("fd") || how == QLatin1String("wrong"))
            arguments << QStringLiteral("--password-fd") << QStringLiteral("0");
        QProcess process;
        process.setWorkingDirectory(dir->path());
        if (how == QLatin1String("terminal"))
            // A terminal of its own, whose screen is the standard output.
            process.start(QStringLiteral("script"),
                          {QStringLiteral("-qec"), arguments.join(QLatin1Char(' ')),
                           QStringLiteral("/dev/null")});
        else
            // A session of its own: no terminal to ask on.
            process.start(QStringLiteral("setsid"), QStringList{QStringLiteral("-w")} + arguments);
        QVERIFY(process.waitForStarted());
        QByteArray screen;
        if (how == QLatin1String("terminal")) {
            while (!screen.contains("のパスワード: ") && process.waitForReadyRead(60000))
                screen += process.readAllStandardOutput();
            QVERIFY2(screen.contains(QDir::toNativeSeparators(calendar).toUtf8()),
                     screen.constData());
        }
        if (how != QLatin1String("none"))
            process.write(how == QLatin1String("wrong") ? "違う\n" : "合言葉\n");
        QVERIFY(process.waitForFinished(60000));
        screen += process.readAllStandardOutput();
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).section(QLatin1Char('\n'), 0, 0),
                 error);
        QVERIFY(!screen.contains("合言葉"));
        QCOMPARE(readFile(path("out.txt")),
                 status == 0 ? QByteArray("2026/12/07(月)\n会議\n") : QByteArray("(missing)"));
        QCOMPARE(FileDigest(calendar), before);
    }

    // On a terminal the export says how far it has come, on one line
    // written over itself up to 100 % and cleared at the end.
    void progressLineOnATerminal()
    {
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        QVERIFY(WriteDayEntry(calendar, 20261207, QStringLiteral("会議")));
        // The line shows at once instead of after a second.
        qputenv("ZEDU_PROGRESS_AFTER_MS", "0");
        const auto restore = qScopeGuard([] { qunsetenv("ZEDU_PROGRESS_AFTER_MS"); });
        const QStringList arguments = {u"--export"_s, path("out"), u"--format"_s, u"pdf"_s};
        // Standard error a terminal of its own, whose screen is the
        // standard output of script.
        QProcess process;
        process.setWorkingDirectory(dir->path());
        process.start(u"script"_s,
                      {u"-qec"_s, (QStringList{program} + arguments).join(u' '), u"/dev/null"_s});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray shown = process.readAllStandardOutput();
        QVERIFY(QFileInfo(path("out")).size() > 0);
        QVERIFY2(shown.startsWith("\r書き出しています… "), shown.constData());
        QVERIFY2(shown.endsWith("\r書き出しています… 100%\r" + QByteArray(40, ' ') + '\r'),
                 shown.constData());
        QVERIFY(!shown.contains('\n'));
    }

    void argumentsChooseWindowOrCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("route"); // "window PATH" or "command line"
        QTest::newRow("none") << QStringList() << u"window "_s;
        QTest::newRow("calendar") << QStringList({u"--calendar"_s, u"a.vad"_s})
                                  << u"window a.vad"_s;
        QTest::newRow("calendar=") << QStringList({u"--calendar=a.vad"_s}) << u"window a.vad"_s;
        QTest::newRow("short option") << QStringList({u"-h"_s}) << u"command line"_s;
        QTest::newRow("a file") << QStringList({u"backup.json"_s}) << u"command line"_s;
        QTest::newRow("Qt's own option")
            << QStringList({u"-platform"_s, u"xcb"_s}) << u"command line"_s;
        QTest::newRow("calendar without a path")
            << QStringList({u"--calendar"_s}) << u"command line"_s;
        QTest::newRow("calendar and more")
            << QStringList({u"--calendar"_s, u"a.vad"_s, u"b"_s}) << u"command line"_s;
        QTest::newRow("export") << QStringList({u"--export"_s, u"a.txt"_s}) << u"command line"_s;
    }

    void argumentsChooseWindowOrCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, route);
        const StartRoute r = RouteArguments(arguments);
        QCOMPARE(r.window ? u"window "_s + r.calendar : u"command line"_s, route);
        if (r.window)
            return;
        // Without a display the command line answers, never the window.
        const Run run = zedu(arguments);
        const bool asked = arguments.first() == QLatin1String("--export");
        QCOMPARE(run.status, asked ? 1 : 2);
        QVERIFY2(run.err.startsWith("zedu: "), run.err.constData());
        QCOMPARE(run.err.contains("使い方:"), !asked);
    }

    void nothingToWriteLeavesTheFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString none = u"zedu: 書き出す日がありません。"_s;
        QTest::newRow("from after the stored months")
            << QStringList({u"--from"_s, u"202702"_s})
            << none + u"--from の月（2027/02）が登録されている最後の月（2027/01）より後です。"_s;
        QTest::newRow("to before the stored months")
            << QStringList({u"--to"_s, u"202611"_s})
            << none + u"--to の月（2026/11）が登録されている最初の月（2026/12）より前です。"_s;
        QTest::newRow("entries only, none written")
            << QStringList({u"--entries-only"_s, u"--format"_s, u"json"_s}) << none;
        QTest::newRow("iCalendar without entries")
            << QStringList({u"--format"_s, u"ics"_s}) << none;
        QTest::newRow("per-day files without entries")
            << QStringList({u"--format"_s, u"text-per-day"_s, u"--from"_s, u"202701"_s}) << none;
    }

    void nothingToWriteLeavesTheFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QVERIFY(MakeCalendarFile(path("app/Data.vad"), 202612, 202701));
        writeFile(path("out.txt"), "before");
        const Run run = zedu(QStringList({u"--export"_s, u"out.txt"_s}) + arguments);
        QCOMPARE(run.status, 1);
        QCOMPARE(QString::fromUtf8(run.err), error + QLatin1Char('\n'));
        QCOMPARE(readFile(path("out.txt")), QByteArray("before"));
        QCOMPARE(FolderNames(),
                 QStringList({u"app"_s, u"app/Data.vad"_s, u"app/zedu"_s, u"out.txt"_s}));
    }

    void fullDiskFailsAndLeavesNothing_data()
    {
        QTest::addColumn<QString>("format");
        for (const char* format : {"text", "text-per-day", "markdown", "csv", "json", "ics", "pdf"})
            QTest::newRow(format) << QString::fromLatin1(format);
    }

    void fullDiskFailsAndLeavesNothing()
    {
        QFETCH(QString, format);
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        for (int key = 20261201; key <= 20261231; ++key)
            QVERIFY(WriteDayEntry(calendar, key, QString(1500, QChar(u'記'))));
        // The target's folder a small file system of its own, nearly full,
        // holding an earlier export.
        const QString disk = path("disk");
        QVERIFY(QDir().mkpath(disk));
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("no small file system can be mounted here");
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
        const QString target = disk + u"/out"_s;
        if (format == QLatin1String("text-per-day"))
            writeFile(target + u"/2026-12-01.txt"_s, "before");
        else
            writeFile(target, "before");
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        filler.close();
        // Room for a few days, not for all.
        QVERIFY(QFile::resize(filler.fileName(), QFileInfo(filler).size() - 16384));
        const QStringList before = FolderNames();

        const Run run = zedu({u"--export"_s, target, u"--format"_s, format});
        QCOMPARE(run.status, 1);
        QVERIFY2(QString::fromUtf8(run.err).contains(u"ディスクの空き容量が足りません。"_s),
                 run.err.constData());
        QCOMPARE(FolderNames(), before);
        QCOMPARE(readFile(format == QLatin1String("text-per-day") ? target + u"/2026-12-01.txt"_s
                                                                  : target),
                 QByteArray("before"));
    }

    void noCoreDumpWhileAskedForThePassword()
    {
        // The files in /proc/PID of a process that may not dump are root's:
        // the program runs as another user, whose they are until then.
        if (::geteuid() != 0 || QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
            QSKIP("needs root and setpriv");
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        gDataPath = calendar;
        QString password = u"合言葉"_s;
        EncryptCalendar(SecureBytes::takeText(password), Argon2Kdf::withLimits(1, 8));
        ForgetCalendarKeys();
        const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadOther | QFileDevice::ExeOther;
        for (const QString& p : {dir->path(), path("app"), program})
            QVERIFY(QFile::setPermissions(p, open));
        QVERIFY(QFile::setPermissions(calendar, open));
        QProcess process;
        process.setWorkingDirectory(QDir::tempPath());
        process.start(u"setpriv"_s,
                      {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s, program,
                       u"--export"_s, QDir::tempPath() + u"/zedu-dumps.txt"_s, u"--password-fd"_s,
                       u"0"_s});
        QVERIFY(process.waitForStarted());
        const QString proc = u"/proc/%1"_s.arg(process.processId());
        // Once setpriv has become the program (as nobody) and, still
        // waiting for the password, made itself not dumpable.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(proc + u"/exe"_s).symLinkTarget() ==
                                         QFileInfo(program).canonicalFilePath() &&
                                     QFileInfo(proc + u"/limits"_s).ownerId() == 0,
                                 30000);
        QVERIFY(readFile(proc + u"/limits"_s).simplified().contains("Max core file size 0 0"));
        QCOMPARE(process.state(), QProcess::Running);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(60000));
    }

    void unreadableCalendarIsSaidSo()
    {
        // Root reads every file: the program runs as another user.
        if (::geteuid() != 0 || QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
            QSKIP("needs root and setpriv");
        const QString calendar = path("app/Data.vad");
        QVERIFY(MakeCalendarFile(calendar, 202612, 202701));
        const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadOther | QFileDevice::ExeOther;
        for (const QString& p : {dir->path(), path("app"), program})
            QVERIFY(QFile::setPermissions(p, open));
        QVERIFY(QFile::setPermissions(calendar, QFileDevice::WriteOwner));
        QProcess process;
        process.setWorkingDirectory(QDir::tempPath());
        process.start(u"setpriv"_s,
                      {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s, program,
                       u"--export"_s, QDir::tempPath() + u"/zedu-unreadable.txt"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        // (Qt may note first that the other user has no runtime folder.)
        const QString error = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(
            error.endsWith(u"\nzedu: 暦ファイルを読む権限がありません。（%1）\n"_s.arg(calendar)) ||
                error == u"zedu: 暦ファイルを読む権限がありません。（%1）\n"_s.arg(calendar),
            qPrintable(error));
    }

    void helpAndVersion()
    {
        const Run help = zedu({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith("使い方:\n"));
        const Run version = zedu({QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("zedu 1.0.0\n"));
    }

    void failuresCreateNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstLine"); // %1 is the test's folder
        const QString missing = QStringLiteral("nowhere/Data.vad");
        QTest::newRow("wrong arguments")
            << QStringList({QStringLiteral("--export"), QStringLiteral("out.txt"),
                            QStringLiteral("--from")})
            << 2 << QStringLiteral("zedu: --from の値がありません。");
        QTest::newRow("no calendar beside the program")
            << QStringList({QStringLiteral("--export"), QStringLiteral("out.txt")}) << 1
            << QStringLiteral("zedu: 暦ファイルが見つかりません。（%1/app/Data.vad）");
        QTest::newRow("named calendar missing")
            << QStringList({QStringLiteral("--export"), QStringLiteral("out.txt"),
                            QStringLiteral("--calendar"), missing})
            << 1 << QStringLiteral("zedu: 暦ファイルが見つかりません。（%1/nowhere/Data.vad）");
        QTest::newRow("text in the key column")
            << QStringList({u"--export"_s, u"out.txt"_s, u"--calendar"_s, u"text.vad"_s}) << 1
            << u"zedu: 暦ファイルの中身が暦の形式ではありません。（text.vad: column 日付 of table "
               u"Master holds values of another kind）"_s;
        QTest::newRow("not a calendar")
            << QStringList({QStringLiteral("--export"), QStringLiteral("out.txt"),
                            QStringLiteral("--calendar"), QStringLiteral("app/zedu")})
            << 1
            << QStringLiteral("zedu: 暦ファイルが壊れています。（app/zedu: the file is not a "
                              "calendar database）");
    }

    void failuresCreateNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, firstLine);
        // A calendar whose days are keyed by text, as another program may
        // have made it.
        if (arguments.contains(u"text.vad"_s)) {
            SqlPeek text(path("text.vad"));
            QVERIFY(text.exec(u"CREATE TABLE Master (日付 TEXT PRIMARY KEY, 曜日 INTEGER, 平日 "
                              u"BIT, 内容 TEXT)"_s));
            QVERIFY(text.exec(u"INSERT INTO Master VALUES ('2026-12-07', 1, 1, '会議')"_s));
        }
        const Run run = zedu(arguments);
        QCOMPARE(run.status, status);
        const QStringList lines = QString::fromUtf8(run.err).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QString(firstLine).replace(QStringLiteral("%1"), dir->path()));
        QCOMPARE(lines.size() > 2, status == 2); // the usage follows wrong arguments only
        QVERIFY(run.out.isEmpty());
        QStringList names = FolderNames();
        names.removeOne(u"text.vad"_s);
        QCOMPARE(names, QStringList({QStringLiteral("app"), QStringLiteral("app/zedu")}));
        QVERIFY(!QFileInfo::exists(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/voradu")));
    }

private:
    QStringList FolderNames() const
    {
        QStringList names;
        QDirIterator it(dir->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            names << QDir(dir->path()).relativeFilePath(it.next());
        names.sort();
        return names;
    }
};

ZEDU_TEST_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
