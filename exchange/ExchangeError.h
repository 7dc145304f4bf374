#pragma once

#include <QString>

#include <stdexcept>

// A file that could not be written or read, with the reason in Japanese,
// ready to be shown (or printed by the command line) as it is.
class ExchangeError : public std::runtime_error
{
public:
    explicit ExchangeError(const QString& text)
        : std::runtime_error(text.toStdString()), mText(text)
    {}
    const QString& text() const { return mText; }

private:
    QString mText;
};
