#pragma once

#include "platform/Running.h"

#include <QStringList>

// Stands in for the main window's busy state: records every message, in the
// order the window would show them.
class RecordingHost final : public RunningHost
{
public:
    QStringList messages;
    void Running(const QString& msg) override { messages << msg; }
};
