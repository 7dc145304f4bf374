#pragma once

#include <QString>
#include <QStringList>

// The figures of the diary on the command line, without a window or a
// display, reading the calendar only:
//
//   zedu --stats [--from YYYYMM] [--to YYYYMM] [--format text|json]
//        [--calendar PATH] [--password-fd N]
//
// The exit statuses are the export's: 0 on success, 1 on a failure (the
// reason on one line of standard error), 2 on wrong arguments (with the
// usage).

struct StatsCommand
{
    enum class Format
    {
        Text,
        Json
    };
    Format format = Format::Text;
    // 0 when not given: the stored range's first or last month.
    int fromYm = 0;
    int toYm = 0;
    // Empty: the calendar the program itself uses.
    QString calendar;
    // Where the password of an encrypted calendar is read; -1: asked on the
    // terminal.
    int passwordFd = -1;
    // Why the arguments are wrong; empty when they are right.
    QString error;
};

// True when the arguments (after the program's name) ask for the figures:
// --stats among them, and neither --help nor --version, which the command
// line answers as always.
bool IsStatsCommand(const QStringList& arguments);

StatsCommand ParseStatsCommand(const QStringList& arguments);

// The parts of the usage that tell of --stats: its line among the
// commands, and its options.
QString StatsUsageLine();
QString StatsUsage();

// Runs the command with an application already made; returns the exit
// status.
int RunStatsCommand(const QStringList& arguments);
