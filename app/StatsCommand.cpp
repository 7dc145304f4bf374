#include "app/StatsCommand.h"

#include "app/CommandLine.h"
#include "insight/DiaryFigures.h"
#include "insight/DiaryTally.h"
#include "insight/FiguresReport.h"
#include "platform/Clock.h"
#include "store/DayRows.h"
#include "store/Engine.h"
#include "store/Envelope.h"

#include <cstdio>

namespace {

std::optional<int> yearMonth(const QString& text)
{
    bool isNumber = false;
    const int ym = text.size() == 6 ? text.toInt(&isNumber) : 0;
    if (!isNumber || ym % 100 < 1 || ym % 100 > 12 || ym / 100 < 1)
        return std::nullopt;
    return ym;
}

} // namespace

bool IsStatsCommand(const QStringList& arguments)
{
    bool stats = false;
    for (const QString& argument : arguments) {
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--help") || name == QLatin1String("--version"))
            return false;
        stats = stats || name == QLatin1String("--stats");
    }
    return stats;
}

StatsCommand ParseStatsCommand(const QStringList& arguments)
{
    StatsCommand command;
    QStringList seen;
    auto wrong = [&command](const QString& why) {
        command.error = why;
        return command;
    };
    static const QStringList options = {QStringLiteral("--from"), QStringLiteral("--to"),
                                        QStringLiteral("--format"), QStringLiteral("--calendar"),
                                        QStringLiteral("--password-fd")};
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals > 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        const bool flag = name == QLatin1String("--stats");
        if (!flag && !options.contains(name))
            return wrong(
                name.startsWith(QLatin1String("--"))
                    ? QStringLiteral("--stats に %1 というオプションはありません。").arg(name)
                    : QStringLiteral("「%1」は何の値かわかりません。").arg(name));
        if (seen.contains(name))
            return wrong(QStringLiteral("%1 が二度指定されています。").arg(name));
        seen << name;
        if (flag) {
            if (value)
                return wrong(QStringLiteral("%1 は値をとりません。").arg(name));
            continue;
        }
        if (!value) {
            // An option after an option is no value, as for --export.
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))
                return wrong(QStringLiteral("%1 の値がありません。").arg(name));
            value = arguments[++i];
        }
        if (value->isEmpty())
            return wrong(QStringLiteral("%1 の値がありません。").arg(name));
        if (name == QLatin1String("--format")) {
            if (*value == QLatin1String("text"))
                command.format = StatsCommand::Format::Text;
            else if (*value == QLatin1String("json"))
                command.format = StatsCommand::Format::Json;
            else
                return wrong(QStringLiteral("--stats の形式「%1」はありません（text か json）。")
                                 .arg(*value));
        } else if (name == QLatin1String("--calendar")) {
            command.calendar = *value;
        } else if (name == QLatin1String("--password-fd")) {
            bool isNumber = false;
            command.passwordFd = value->toInt(&isNumber);
            if (!isNumber || command.passwordFd < 0)
                return wrong(QStringLiteral("--password-fd の「%1」はファイル記述子の番号ではあり"
                                            "ません。")
                                 .arg(*value));
        } else {
            const std::optional<int> ym = yearMonth(*value);
            if (!ym)
                return wrong(QStringLiteral("%1 の「%2」は年月ではありません（202612 の形で書き"
                                            "ます）。")
                                 .arg(name, *value));
            (name == QLatin1String("--from") ? command.fromYm : command.toYm) = *ym;
        }
    }
    if (command.fromYm && command.toYm && command.fromYm > command.toYm)
        return wrong(QStringLiteral("--from の月が --to の月より後です。"));
    return command;
}

QString StatsUsageLine()
{
    return QStringLiteral(
        "  zedu --stats [オプション]\n"
        "                            書いた日数、文字数、続いた日数などを表示します。窓は\n"
        "                            開かず、画面がなくても動きます。\n");
}

QString StatsUsage()
{
    return QStringLiteral(
        "\n"
        "--stats のオプション:\n"
        "  --format 形式    text（人が読む形、省略時）か json（スクリプト向け）。\n"
        "  --from YYYYMM    最初の月。省略すると登録されている最初の月。\n"
        "  --to YYYYMM      最後の月。省略すると登録されている最後の月。\n"
        "  --calendar PATH、--password-fd N は --export と同じです。\n");
}

int RunStatsCommand(const QStringList& arguments)
{
    const StatsCommand command = ParseStatsCommand(arguments);
    if (!command.error.isEmpty()) {
        std::fputs(
            (QStringLiteral("zedu: ") + command.error + QStringLiteral("\n\n") + CommandLineUsage())
                .toLocal8Bit()
                .constData(),
            stderr);
        return kCommandMisused;
    }
    try {
        Database db;
        if (!OpenCommandCalendar(command.calendar, command.passwordFd, db))
            return kCommandFailed;
        const StoredRange stored = ReadStoredRange(db);
        if (stored.isEmpty())
            return CommandFailure(QStringLiteral("暦に登録されている日がありません。"));
        DaySelection selection;
        selection.firstYm = command.fromYm ? command.fromYm : stored.firstYm;
        selection.lastYm = command.toYm ? command.toYm : stored.lastYm;
        if (selection.firstYm > selection.lastYm)
            return CommandFailure(QStringLiteral("--from の月が --to の月より後です。"));
        QList<DayEntry> days;
        ReadDayRows(db, selection, [&days](DayRow&& row) {
            days.append({row.key, row.week, row.entry()});
            return true;
        });
        DiaryTally tally;
        tally.update(days);
        const DiaryFigures figures =
            ComputeFigures(tally, selection.firstYm, selection.lastYm, Clock::Today());
        const QString report = command.format == StatsCommand::Format::Json ? FiguresJson(figures)
                                                                            : FiguresText(figures);
        // JSON is ASCII; the text form follows the terminal's encoding.
        std::fputs(command.format == StatsCommand::Format::Json ? report.toUtf8().constData()
                                                                : report.toLocal8Bit().constData(),
                   stdout);
        std::fflush(stdout);
        return 0;
    } catch (const EngineError& e) {
        const QString cause = e.causeText();
        return CommandFailure((cause.isEmpty() ? QString() : cause + QLatin1Char(' ')) + e.text());
    } catch (const EnvelopeError& e) {
        return CommandFailure(e.text());
    }
}
