// Runs the start-up procedure in a process of its own, for tests that need a
// real second process: a second instance, or an instance that was killed.
//
//   zedu_mainhost --app-folder DIR [--calendar PATH] [--answers yes,no,ok,...]
//                 [--today YYYY-MM-DD]
//                 [--hold | --exec [--type TEXT] [--quiet-save-ms N]
//                  [--typing-save-limit-ms N] [--retry-ms N] |
//                  --splash | --stop-at PHASE]
//
// Every box is printed to stdout as "box <kind>|<title>|<text>" and answered
// from --answers; a box without an answer prints "unanswered" and gets No.
// --calendar opens the calendar PATH for this run, as `zedu --calendar PATH`
// does. --today fixes the program's today. A password box prints
// "box password|<title>|<prompt>" and takes "pw:TEXT" from --answers.
// --hold: prints "ready" after start-up and waits until its standard input
//   closes (or it is killed).
// --dumps: prints "dumpable N core M" after start-up: the process's
//   dumpable flag and the hard limit of its core size (-1 for none).
// --exec: types TEXT into the entry box, prints "ready" and runs the event
//   loop as the program does; --quiet-save-ms sets how long after typing the
//   entry is saved on its own, --typing-save-limit-ms how long it may stay
//   unsaved while the typing goes on.
// --splash: only shows the splash screen, prints "splash <window id>" and
//   waits until its standard input closes.
// --stop-at PHASE: a first run prints "phase PHASE" there and waits to be
//   killed: "questions" (both answered, nothing made yet), or a phase of the
//   fill ("started", "filled", "committed").
// --exec also reads its standard input: each line "type TEXT" types TEXT
//   into the entry box ("\n" in it is a line break) and prints "typed"; a
//   line "day YYYYMMDD" moves to that day as a click on it in the month grid
//   does (saving the entry of the day left) and prints the line back;
//   line "open PATH" opens the calendar PATH as 暦ファイルの場所 does and
//   prints "opened PATH" once the new window is there;
//   --retry-ms tries failed work on the calendar again every N milliseconds
//   instead of every few seconds.

#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/clsMaster.h"
#include "ui/RetryTimer.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"
#include "view/clsCalendar.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void stopHere(const QString& phase)
{
    std::printf("phase %s\n", phase.toUtf8().constData());
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

class PrintingDialogs final : public Dialogs::Provider
{
public:
    QStringList answers;
    bool stopAfterAnswers = false;

    int message(Dialogs::Kind kind, const QString& title, const QString& text) override
    {
        static const char* names[] = {"warning", "question", "information", "input"};
        print(QStringLiteral("box %1|%2|%3").arg(QLatin1String(names[int(kind)]), title, text));
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.isEmpty())
            print(QStringLiteral("unanswered"));
        if (answers.isEmpty() && stopAfterAnswers)
            stopHere(QStringLiteral("questions"));
        if (answer == QLatin1String("yes"))
            return Dialogs::Yes;
        if (answer == QLatin1String("ok"))
            return Dialogs::Ok;
        return Dialogs::No;
    }

    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString&) override
    {
        print(QStringLiteral("box input|%1|%2").arg(title, prompt));
        if (answers.isEmpty()) {
            print(QStringLiteral("unanswered"));
            return std::nullopt;
        }
        return answers.takeFirst();
    }

    // Answered "pw:TEXT" (typed); anything else cancels.
    Dialogs::PasswordAnswer password(const QString& title, const QString& prompt, bool,
                                     const QString&) override
    {
        print(QStringLiteral("box password|%1|%2").arg(title, prompt));
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        if (answer.startsWith(QLatin1String("pw:")))
            return {Dialogs::PasswordAnswer::Entered, answer.mid(3)};
        if (answer.isEmpty())
            print(QStringLiteral("unanswered"));
        return {};
    }

    static void print(const QString& line)
    {
        std::fputs(line.toUtf8().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitApplication();
    PrintingDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    bool hold = false;
    bool exec = false;
    bool splash = false;
    bool dumps = false;
    QString typed;
    QString calendar;
    int quietSaveMs = 0;
    int typingSaveLimitMs = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--app-folder") && i + 1 < args.size())
            setAppFolderForTesting(args[++i]);
        else if (args[i] == QLatin1String("--calendar") && i + 1 < args.size())
            calendar = args[++i];
        else if (args[i] == QLatin1String("--answers") && i + 1 < args.size())
            dialogs.answers = args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (args[i] == QLatin1String("--hold"))
            hold = true;
        else if (args[i] == QLatin1String("--exec"))
            exec = true;
        else if (args[i] == QLatin1String("--splash"))
            splash = true;
        else if (args[i] == QLatin1String("--dumps"))
            dumps = true;
        else if (args[i] == QLatin1String("--type") && i + 1 < args.size())
            typed = args[++i];
        else if (args[i] == QLatin1String("--retry-ms") && i + 1 < args.size())
            RetryTimer::setIntervalForTesting(args[++i].toInt());
        else if (args[i] == QLatin1String("--today") && i + 1 < args.size())
            Clock::setTodayForTesting(QDate::fromString(args[++i], Qt::ISODate));
        else if (args[i] == QLatin1String("--quiet-save-ms") && i + 1 < args.size())
            quietSaveMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--typing-save-limit-ms") && i + 1 < args.size())
            typingSaveLimitMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--stop-at") && i + 1 < args.size()) {
            const QString phase = args[++i];
            dialogs.stopAfterAnswers = phase == QLatin1String("questions");
            gMaster.setUpdatePhaseHookForTesting([phase](clsMaster::UpdatePhase reached) {
                static const char* names[] = {"started", "filled", "committed", "compacted",
                                              "replaced"};
                if (phase == QLatin1String(names[int(reached)]))
                    stopHere(phase);
            });
        }
    }
    if (splash) {
        ShowSplash();
        PrintingDialogs::print(QStringLiteral("splash %1").arg(AboutBox()->winId()));
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    const std::optional<int> ended = Main(calendar);
    // Start-up that ends with 0 has done all it does before the window.
    if (ended && *ended != 0) {
        PrintingDialogs::print(QStringLiteral("ended %1").arg(*ended));
        return *ended;
    }
    if (dumps) {
        rlimit core = {};
        ::getrlimit(RLIMIT_CORE, &core);
        PrintingDialogs::print(
            QStringLiteral("dumpable %1 core %2")
                .arg(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0))
                .arg(core.rlim_max == RLIM_INFINITY ? -1 : qint64(core.rlim_max)));
    }
    PrintingDialogs::print(QStringLiteral("running"));
    if (exec) {
        QPlainTextEdit* box =
            MainWindow() ? MainWindow()->findChild<QPlainTextEdit*>(QStringLiteral("txtToday"))
                         : nullptr;
        if (MainWindow() && quietSaveMs > 0)
            MainWindow()->setQuietSaveDelay(quietSaveMs);
        if (MainWindow() && typingSaveLimitMs > 0)
            MainWindow()->setTypingSaveLimit(typingSaveLimitMs);
        if (box)
            box->insertPlainText(typed);
        QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
        QByteArray pending;
        QObject::connect(&commands, &QSocketNotifier::activated, [&] {
            char chunk[4096];
            const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0) {
                commands.setEnabled(false);
                return;
            }
            pending.append(chunk, got);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                const QString line = QString::fromUtf8(pending.left(end));
                // The entry box of the window there is now.
                box = MainWindow()
                          ? MainWindow()->findChild<QPlainTextEdit*>(QStringLiteral("txtToday"))
                          : nullptr;
                if (box && line.startsWith(QLatin1String("type "))) {
                    box->insertPlainText(
                        line.mid(5).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
                    PrintingDialogs::print(QStringLiteral("typed"));
                } else if (MainWindow() && line.startsWith(QLatin1String("day "))) {
                    MainWindow()->calendar()->setCurDate(line.mid(4).toInt());
                    PrintingDialogs::print(line);
                } else if (MainWindow() && line.startsWith(QLatin1String("open "))) {
                    // As 暦ファイルの場所 does once the entry is saved.
                    QPointer<frmMain> old = MainWindow();
                    emit old->calendarChosen(line.mid(5));
                    auto* opened = new QTimer(&app);
                    QObject::connect(opened, &QTimer::timeout, [old, opened] {
                        // Shown: its start-up has ended.
                        if (old.isNull() && MainWindow() && MainWindow()->isVisible()) {
                            PrintingDialogs::print(QStringLiteral("opened ") + gDataPath);
                            opened->deleteLater();
                        }
                    });
                    opened->start(10);
                }
            }
        });
        PrintingDialogs::print(QStringLiteral("ready"));
        const int code = app.exec();
        delete MainWindow();
        PrintingDialogs::print(QStringLiteral("exit %1").arg(code));
        return code;
    }
    if (hold) {
        PrintingDialogs::print(QStringLiteral("ready"));
        std::string line;
        while (std::getline(std::cin, line)) {
        }
    }
    delete MainWindow();
    return 0;
}
