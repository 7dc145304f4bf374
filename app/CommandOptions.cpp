#include "app/CommandOptions.h"

CommandOptions::CommandOptions(const QStringList& arguments, const QStringList& flags,
                               const QStringList& options, const QString& unknownText,
                               const QStringList& ending)
    : mArguments(arguments), mFlags(flags), mOptions(options), mUnknownText(unknownText),
      mEnding(ending)
{}

std::nullopt_t CommandOptions::wrong(const QString& why)
{
    mError = why;
    mNext = int(mArguments.size());
    return std::nullopt;
}

std::optional<CommandOptions::Option> CommandOptions::next()
{
    if (mNext >= mArguments.size())
        return std::nullopt;
    QString name = mArguments[mNext++];
    std::optional<QString> value;
    if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals > 0) {
        value = name.mid(equals + 1);
        name.truncate(equals);
    }
    if (mEnding.contains(name)) {
        mNext = int(mArguments.size());
        return Option{name, {}};
    }
    const bool flag = mFlags.contains(name);
    if (!flag && !mOptions.contains(name))
        return wrong(name.startsWith(QLatin1String("--"))
                         ? mUnknownText.arg(name)
                         : QStringLiteral("「%1」は何の値かわかりません。").arg(name));
    if (mSeen.contains(name))
        return wrong(QStringLiteral("%1 が二度指定されています。").arg(name));
    mSeen << name;
    if (flag) {
        if (value)
            return wrong(QStringLiteral("%1 は値をとりません。").arg(name));
        return Option{name, {}};
    }
    if (!value) {
        if (mNext >= mArguments.size() || mArguments[mNext].startsWith(QLatin1String("--")))
            return wrong(QStringLiteral("%1 の値がありません。").arg(name));
        value = mArguments[mNext++];
    }
    if (value->isEmpty())
        return wrong(QStringLiteral("%1 の値がありません。").arg(name));
    return Option{name, *value};
}

std::optional<int> CommandOptions::yearMonth(const Option& option)
{
    bool isNumber = false;
    const int ym = option.value.size() == 6 ? option.value.toInt(&isNumber) : 0;
    if (!isNumber || ym % 100 < 1 || ym % 100 > 12 || ym / 100 < 1)
        return wrong(QStringLiteral("%1 の「%2」は年月ではありません（202612 の形で書きます）。")
                         .arg(option.name, option.value));
    return ym;
}

std::optional<int> CommandOptions::fileDescriptor(const Option& option)
{
    bool isNumber = false;
    const int fd = option.value.toInt(&isNumber);
    if (!isNumber || fd < 0)
        return wrong(QStringLiteral("%1 の「%2」はファイル記述子の番号ではありません。")
                         .arg(option.name, option.value));
    return fd;
}
