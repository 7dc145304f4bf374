#include "app/CommandLine.h"

#include "Version.h"
#include "app/CommandLinePassword.h"
#include "app/CommandOptions.h"
#include "app/Main.h"
#include "app/ProgressLine.h"
#include "app/StatsCommand.h"
#include "exchange/ExchangeError.h"
#include "exchange/ExportJob.h"
#include "platform/Clock.h"
#include "platform/CoreDumps.h"
#include "store/CalendarCheck.h"
#include "store/CalendarEncryption.h"
#include "store/Engine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <new>

namespace {

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// One line, for standard error.
QString oneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

int fail(const QString& reason)
{
    print(stderr, QStringLiteral("zedu: ") + oneLine(reason) + QLatin1Char('\n'));
    return kCommandFailed;
}

// Opens the calendar the command names, or the program's own, for
// reading; false when there is none. Everything a command needs to reach
// the calendar is here, so that it stays in one place.
bool openCalendar(const CommandLine& command, Database& db)
{
    const QString path = command.calendar.isEmpty() ? LocateDataPath() : command.calendar;
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo(path).isFile()) {
        fail(QStringLiteral("暦ファイルが見つかりません。（%1）").arg(shown));
        return false;
    }
    // The export only reads: a file it may not read is said so, rather than
    // left to the engine, which cannot tell reading from writing.
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("暦ファイルを読む権限がありません。（%1）").arg(shown));
        return false;
    }
    // An encrypted one needs its password first; from here on the process
    // holds it, and then the diary, in memory.
    if (IsEncryptedFile(path)) {
        PreventCoreDumps();
        // A header no password opens is said without asking for one.
        {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                Envelope::ReadHeader(file);
        }
        std::optional<SecureBytes> password =
            command.passwordFd >= 0
                ? ReadPasswordFrom(command.passwordFd)
                : AskPasswordOnTerminal(
                      QStringLiteral("%1 のパスワード: ").arg(QDir::toNativeSeparators(path)));
        if (!password) {
            fail(command.passwordFd >= 0
                     ? QStringLiteral("--password-fd %1 からパスワードを読めませんでした。")
                           .arg(command.passwordFd)
                     : QStringLiteral("暦ファイルは暗号化されています。端末がないときは "
                                      "--password-fd でパスワードを渡して下さい。"));
            return false;
        }
        HoldKeysOf(path, *password);
    }
    db.openForReading(path);
    // A file that is no calendar, or whose columns hold other kinds of
    // values, is refused as the window refuses it.
    CheckCalendar(db, CalendarCheck::Columns);
    return true;
}

QString monthText(int yearMonth)
{
    return QStringLiteral("%1/%2")
        .arg(yearMonth / 100, 4, 10, QLatin1Char('0'))
        .arg(yearMonth % 100, 2, 10, QLatin1Char('0'));
}

// Why the months asked for hold no stored day; empty when they may hold
// some.
QString outsideStoredRange(const CommandLine& command, const StoredRange& stored)
{
    if (stored.isEmpty())
        return QStringLiteral("暦に登録されている月がありません。");
    if (command.fromYm > stored.lastYm)
        return QStringLiteral("--from の月（%1）が登録されている最後の月（%2）より後です。")
            .arg(monthText(command.fromYm), monthText(stored.lastYm));
    if (command.toYm && command.toYm < stored.firstYm)
        return QStringLiteral("--to の月（%1）が登録されている最初の月（%2）より前です。")
            .arg(monthText(command.toYm), monthText(stored.firstYm));
    return QString();
}

// Qt's own notes (a missing XDG_RUNTIME_DIR under cron, say) would clutter
// the one line a script reads on standard error; only its errors pass.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, message + QLatin1Char('\n'));
}

int runExport(const CommandLine& command)
{
    try {
        Database db;
        if (!openCalendar(command, db))
            return kCommandFailed;
        const StoredRange stored = ReadStoredRange(db);
        const QString noDays = QStringLiteral("書き出す日がありません。");
        if (const QString outside = outsideStoredRange(command, stored); !outside.isEmpty())
            return fail(noDays + outside);
        ExportRequest request;
        request.format = *command.format;
        request.target = command.target;
        request.selection.firstYm = command.fromYm ? command.fromYm : stored.firstYm;
        request.selection.lastYm = command.toYm ? command.toYm : stored.lastYm;
        request.selection.entriesOnly = command.entriesOnly;
        request.info.stamp = Clock::Now().toUTC();
        ExportOutcome outcome;
        {
            ProgressLine progress(stderr, QStringLiteral("書き出しています…"),
                                  ProgressLine::DelayMs());
            outcome = RunExport(db, request, progress.callback());
        }
        if (outcome.days == 0)
            return fail(noDays);
        // The file is written; what it could not show is still said.
        if (!outcome.unprintable.isEmpty())
            print(stderr, QStringLiteral("zedu: ") + UnprintableText(outcome.unprintable) +
                              QLatin1Char('\n'));
        if (!outcome.untold.isEmpty())
            print(stderr,
                  QStringLiteral("zedu: ") + UntoldText(outcome.untold) + QLatin1Char('\n'));
        return 0;
    } catch (const EngineError& e) {
        return fail(EngineFailureText(e));
    } catch (const ExchangeError& e) {
        return fail(e.text());
    } catch (const EnvelopeError& e) {
        return fail(e.text());
    } catch (const std::bad_alloc&) {
        return fail(EngineError(QString(), QString(), EngineError::Cause::OutOfMemory).causeText());
    }
}

} // namespace

StartRoute RouteArguments(const QStringList& arguments)
{
    StartRoute route;
    if (arguments.isEmpty())
        return route;
    const QString& first = arguments.first();
    const QString option = QStringLiteral("--calendar");
    QString path;
    if (arguments.size() == 2 && first == option)
        path = arguments[1];
    else if (arguments.size() == 1 && first.startsWith(option + QLatin1Char('=')))
        path = first.mid(option.size() + 1);
    if (path.isEmpty() || path.startsWith(QLatin1String("--"))) {
        route.window = false;
        return route;
    }
    route.calendar = path;
    return route;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine command;
    bool exporting = false;
    auto wrong = [&command](const QString& why) {
        command.error = why;
        return command;
    };
    CommandOptions options(arguments, {QStringLiteral("--entries-only")},
                           {QStringLiteral("--export"), QStringLiteral("--format"),
                            QStringLiteral("--from"), QStringLiteral("--to"),
                            QStringLiteral("--calendar"), QStringLiteral("--password-fd")},
                           QStringLiteral("%1 というオプションはありません。"),
                           {QStringLiteral("--help"), QStringLiteral("--version")});
    while (const std::optional<CommandOptions::Option> option = options.next()) {
        const QString& name = option->name;
        const QString& value = option->value;
        if (name == QLatin1String("--help") || name == QLatin1String("--version")) {
            CommandLine asked;
            asked.action = name == QLatin1String("--help") ? CommandLine::Action::Help
                                                           : CommandLine::Action::Version;
            return asked;
        }
        if (name == QLatin1String("--entries-only")) {
            command.entriesOnly = true;
        } else if (name == QLatin1String("--export")) {
            exporting = true;
            command.target = value;
        } else if (name == QLatin1String("--format")) {
            command.format = FormatFromName(value);
            if (!command.format)
                return wrong(QStringLiteral("形式「%1」はありません。").arg(value));
        } else if (name == QLatin1String("--calendar")) {
            command.calendar = value;
        } else if (name == QLatin1String("--password-fd")) {
            if (const std::optional<int> fd = options.fileDescriptor(*option))
                command.passwordFd = *fd;
        } else if (const std::optional<int> ym = options.yearMonth(*option)) {
            (name == QLatin1String("--from") ? command.fromYm : command.toYm) = *ym;
        }
    }
    if (!options.error().isEmpty())
        return wrong(options.error());
    if (!exporting)
        return wrong(QStringLiteral("--export で書き出すファイルを指定して下さい。"));
    command.action = CommandLine::Action::Export;
    if (command.fromYm && command.toYm && command.fromYm > command.toYm)
        return wrong(QStringLiteral("--from の月が --to の月より後です。"));
    if (!command.format)
        command.format = FormatFromFileName(command.target);
    if (!command.format)
        return wrong(QStringLiteral("「%1」の形式がわかりません。--format で指定して下さい。")
                         .arg(command.target));
    return command;
}

QString CommandLineUsage()
{
    QString usage = QStringLiteral(
        "使い方:\n"
        "  zedu                      Zedu を起動します。\n"
        "  zedu --calendar PATH      PATH の暦ファイルで Zedu を起動します（この回だけ）。\n"
        "  zedu --export FILE [オプション]\n"
        "                            暦を FILE に書き出します。窓は開かず、画面がなくても動き"
        "ます。\n"
        "  zedu --help               この説明を表示します。\n"
        "  zedu --version            版を表示します。\n"
        "\n"
        "--export のオプション:\n"
        "  --format 形式    text、text-per-day、markdown、csv、json、ics、pdf のどれか。\n"
        "                   省略すると FILE の拡張子（.txt .md .csv .json .ics "
        ".pdf）で決まります。\n"
        "                   text-per-day では FILE はフォルダーです。\n"
        "  --from YYYYMM    最初の月。省略すると登録されている最初の月。\n"
        "  --to YYYYMM      最後の月。省略すると登録されている最後の月。\n"
        "  --entries-only   予定がある日だけを書き出します。\n"
        "  --calendar PATH  読む暦ファイル。省略すると Zedu が使っている暦ファイル。\n"
        "  --password-fd N  暗号化した暦のパスワードを、番号 N のファイル記述子から一行\n"
        "                   読みます（0 は標準入力）。省略すると端末で尋ねます（入力した\n"
        "                   文字は表示されません）。パスワードを引数には書けません。\n"
        "\n"
        "暦ファイルは読むだけなので、Zedu を開いたままでも使えます。\n"
        "終了コード: 0 成功、1 失敗（理由を標準エラーに表示）、2 引数の誤り。\n");
    // --stats (StatsCommand.h): its line after --export's, its options
    // after --export's options.
    usage.insert(usage.indexOf(QStringLiteral("  zedu --help")), StatsUsageLine());
    usage.insert(usage.indexOf(QStringLiteral("\n暦ファイルは読むだけ")), StatsUsage());
    return usage;
}

int RunCommandLine(int argc, char** argv)
{
    // No display is needed: fonts and pages work on the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQtMessages);
    // Qt is shown the program's name alone: it would take options of its
    // own (-platform, -display) out of the arguments and act on them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    InitApplication();
    if (IsStatsCommand(arguments))
        return RunStatsCommand(arguments);
    const CommandLine command = ParseCommandLine(arguments);
    if (!command.error.isEmpty()) {
        print(stderr, QStringLiteral("zedu: ") + command.error + QStringLiteral("\n\n") +
                          CommandLineUsage());
        return kCommandMisused;
    }
    switch (command.action) {
    case CommandLine::Action::Help:
        print(stdout, CommandLineUsage());
        return 0;
    case CommandLine::Action::Version:
        print(stdout, QStringLiteral("zedu " ZEDU_VERSION_TEXT "\n"));
        return 0;
    case CommandLine::Action::Export:
        break;
    }
    return runExport(command);
}

bool OpenCommandCalendar(const QString& calendar, int passwordFd, Database& db)
{
    CommandLine command;
    command.calendar = calendar;
    command.passwordFd = passwordFd;
    return openCalendar(command, db);
}

QString EngineFailureText(const EngineError& error)
{
    return error.causeText() + QStringLiteral("（") + error.file() + QStringLiteral(": ") +
           error.message() + QStringLiteral("）");
}

int CommandFailure(const QString& reason)
{
    return fail(reason);
}
