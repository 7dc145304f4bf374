#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The options of one command of the command line, read one by one: NAME
// VALUE or NAME=VALUE, each at most once. A flag takes no value; an
// option's value is never empty and never another option ("--export
// --calendar X" lacks the file; a file named so is given as --export=--x).
class CommandOptions
{
public:
    struct Option
    {
        QString name;
        // Empty for a flag.
        QString value;
    };

    // `unknownText` says that an option is not one of this command's, %1
    // its name. The names in `ending` (--help, say) are given back as they
    // come, unchecked, and end the reading.
    CommandOptions(const QStringList& arguments, const QStringList& flags,
                   const QStringList& options, const QString& unknownText,
                   const QStringList& ending = {});

    // The next option; nothing at the end, or at a wrong argument, which
    // error() then names.
    std::optional<Option> next();
    // Why the arguments are wrong; empty while they are right.
    const QString& error() const { return mError; }

    // The values several commands take. Nothing, with error() set, when
    // `option`'s value is not one.
    std::optional<int> yearMonth(const Option& option);
    std::optional<int> fileDescriptor(const Option& option);

private:
    std::nullopt_t wrong(const QString& why);

    const QStringList& mArguments;
    QStringList mFlags;
    QStringList mOptions;
    QString mUnknownText;
    QStringList mEnding;
    QStringList mSeen;
    int mNext = 0;
    QString mError;
};
