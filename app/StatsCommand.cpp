#include "app/StatsCommand.h"

#include "app/CommandLine.h"
#include "app/CommandOptions.h"
#include "insight/DiaryFigures.h"
#include "insight/DiaryTally.h"
#include "insight/FiguresReport.h"
#include "platform/Clock.h"
#include "store/DayRows.h"
#include "store/Engine.h"
#include "store/Envelope.h"

#include <cstdio>
#include <new>

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
    CommandOptions options(arguments, {QStringLiteral("--stats")},
                           {QStringLiteral("--from"), QStringLiteral("--to"),
                            QStringLiteral("--format"), QStringLiteral("--calendar"),
                            QStringLiteral("--password-fd")},
                           QStringLiteral("--stats に %1 というオプションはありません。"));
    while (const std::optional<CommandOptions::Option> option = options.next()) {
        const QString& name = option->name;
        const QString& value = option->value;
        if (name == QLatin1String("--stats"))
            continue;
        if (name == QLatin1String("--format")) {
            if (value == QLatin1String("text")) {
                command.format = StatsCommand::Format::Text;
            } else if (value == QLatin1String("json")) {
                command.format = StatsCommand::Format::Json;
            } else {
                command.error =
                    QStringLiteral("--stats の形式「%1」はありません（text か json）。").arg(value);
                return command;
            }
        } else if (name == QLatin1String("--calendar")) {
            command.calendar = value;
        } else if (name == QLatin1String("--password-fd")) {
            if (const std::optional<int> fd = options.fileDescriptor(*option))
                command.passwordFd = *fd;
        } else if (const std::optional<int> ym = options.yearMonth(*option)) {
            (name == QLatin1String("--from") ? command.fromYm : command.toYm) = *ym;
        }
    }
    command.error = options.error();
    if (!command.error.isEmpty())
        return command;
    if (command.fromYm && command.toYm && command.fromYm > command.toYm)
        command.error = QStringLiteral("--from の月が --to の月より後です。");
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
        return CommandFailure(EngineFailureText(e));
    } catch (const EnvelopeError& e) {
        return CommandFailure(e.text());
    } catch (const std::bad_alloc&) {
        return CommandFailure(
            EngineError(QString(), QString(), EngineError::Cause::OutOfMemory).causeText());
    }
}
