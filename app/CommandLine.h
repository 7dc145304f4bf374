#pragma once

#include "exchange/ExportFormat.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line, for scripts and nightly copies: the diary written to a
// file without a window or a display, reading the calendar only (so that it
// may run while the program is open).
//
//   zedu --export FILE [--format F] [--from YYYYMM] [--to YYYYMM]
//        [--entries-only] [--calendar PATH] [--password-fd N]
//   zedu --help
//   zedu --version
//
// Exit status 0 on success, 1 on a failure (the reason on one line of
// standard error), 2 on wrong arguments (with the usage).

struct CommandLine
{
    enum class Action
    {
        Export,
        Help,
        Version
    };
    Action action = Action::Help;
    QString target;
    // Unless given, the format the target's suffix stands for.
    std::optional<ExportFormat> format;
    // 0 when not given: the stored range's first or last month.
    int fromYm = 0;
    int toYm = 0;
    bool entriesOnly = false;
    // Empty: the calendar the program itself uses.
    QString calendar;
    // Where the password of an encrypted calendar is read; -1: asked on the
    // terminal.
    int passwordFd = -1;
    // Why the arguments are wrong; empty when they are right.
    QString error;
};

// Where the arguments (after the program's name) send the program: the
// window for none at all or for `--calendar PATH` alone (that calendar for
// this run), the command line for anything else, which answers what it
// does not know with the usage, without needing a display.
struct StartRoute
{
    bool window = true;
    QString calendar; // the window's calendar; empty: the usual one
};
StartRoute RouteArguments(const QStringList& arguments);

// The arguments after the program's name.
CommandLine ParseCommandLine(const QStringList& arguments);

// The usage text.
QString CommandLineUsage();

// Runs the command line without a display; returns the exit status.
int RunCommandLine(int argc, char** argv);

constexpr int kCommandFailed = 1;
constexpr int kCommandMisused = 2;

class Database;
class EngineError;

// For the other commands of the command line (StatsCommand.h): opens the
// calendar `calendar` names, or the program's own when it is empty, for
// reading, with the password of an encrypted one read from `passwordFd`
// (-1: asked on the terminal). False, the reason written, when it cannot.
bool OpenCommandCalendar(const QString& calendar, int passwordFd, Database& db);
// Writes `reason` as one line on standard error; returns kCommandFailed.
int CommandFailure(const QString& reason);
// An engine failure as the commands say it: the cause in Japanese first,
// the file and the engine's own words in parentheses after it.
QString EngineFailureText(const EngineError& error);
