#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <functional>

// How far a long piece of work of the command line has come, as one line on
// a terminal: "書き出しています… 42%", written over itself as the figure
// grows and cleared when the work ends. Shown only when the stream is a
// terminal, and only once the work has taken longer than `delayMs`, so that
// short runs, scripts and cron mail see nothing of it.
class ProgressLine
{
public:
    ProgressLine(FILE* stream, const QString& label, int delayMs);
    // Clears the line, also when the work ends by an exception.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The work done of `total`; never cancels.
    bool update(int done, int total);
    // The callback to hand to the work.
    std::function<bool(int, int)> callback();
    // Clears the line if it is shown.
    void clear();

    // How long work runs before its line is shown, in milliseconds: a
    // second, or what the environment variable ZEDU_PROGRESS_AFTER_MS says
    // (for tests, which cannot wait on a slow export).
    static int DelayMs();

private:
    FILE* mStream;
    QString mLabel;
    int mDelayMs;
    bool mTerminal;
    bool mShown = false;
    int mPercent = -1;
    QElapsedTimer mTimer;
};
