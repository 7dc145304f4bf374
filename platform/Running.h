#pragma once

#include <QString>

// The main window's busy state, as the views and the entry editor see it: a
// non-empty message starts a busy phase (the window takes no input, the
// pointer is the hourglass, the message is in the status bar), the empty text
// ends the innermost phase. Phases nest: the state ends with the outermost.
class RunningHost
{
public:
    virtual ~RunningHost() = default;
    virtual void Running(const QString& msg) = 0;
};

// One busy phase: Running(msg) when it begins and Running("") when the scope
// is left, by return or by exception, so that no failure leaves the window
// busy.
class RunningScope
{
public:
    RunningScope(RunningHost* host, const QString& msg) : mHost(host)
    {
        if (mHost)
            mHost->Running(msg);
    }
    ~RunningScope()
    {
        if (mHost)
            mHost->Running(QString());
    }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    RunningHost* mHost;
};
