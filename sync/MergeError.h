#pragma once

#include <QString>

#include <stdexcept>

// The line merge could not run (in practice: memory ran out). Nothing was
// merged; the caller writes nothing.
class MergeError : public std::runtime_error
{
public:
    explicit MergeError(const QString& text) : std::runtime_error(text.toStdString()), mText(text)
    {}
    const QString& text() const { return mText; }

private:
    QString mText;
};
