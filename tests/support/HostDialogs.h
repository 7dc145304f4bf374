#pragma once

#include "platform/Dialogs.h"

#include <cstdio>

// The boxes of a child process that a test runs: each one is printed to
// stdout as "box <kind>|<text>" for the test to read; questions are answered
// Yes, input boxes cancelled.
class HostDialogs final : public Dialogs::Provider
{
public:
    int message(Dialogs::Kind kind, const QString&, const QString& text) override
    {
        print(kind, text);
        return kind == Dialogs::Kind::Question ? Dialogs::Yes : Dialogs::Ok;
    }
    std::optional<QString> input(const QString&, const QString& prompt, const QString&) override
    {
        print(Dialogs::Kind::Input, prompt);
        return std::nullopt;
    }

private:
    static void print(Dialogs::Kind kind, const QString& text)
    {
        std::printf("box %d|%s\n", int(kind), text.toUtf8().constData());
        std::fflush(stdout);
    }
};
