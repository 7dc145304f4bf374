#pragma once

#include "platform/Dialogs.h"

// Answers every question with Yes and every input box with `answer`, so that
// commands run through without a person.
class YesDialogs final : public Dialogs::Provider
{
public:
    QString answer;
    int message(Dialogs::Kind, const QString&, const QString&) override { return Dialogs::Yes; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        if (answer.isEmpty())
            return std::nullopt;
        return answer;
    }
};
