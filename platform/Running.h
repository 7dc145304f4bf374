#pragma once

#include <QString>

// The main window's busy state, as the views and the entry editor see it: a
// non-empty message starts a busy phase (window disabled, hourglass, message
// in the status bar), the empty text ends it.
class RunningHost
{
public:
    virtual ~RunningHost() = default;
    virtual void Running(const QString& msg) = 0;
};
