#include "insight/FiguresReport.h"

#include "insight/DiaryFigures.h"
#include "platform/DayKey.h"

#include <QLocale>
#include <QStringList>

namespace {

QString isoMonth(int ym)
{
    return QStringLiteral("%1-%2")
        .arg(ym / 100, 4, 10, QLatin1Char('0'))
        .arg(ym % 100, 2, 10, QLatin1Char('0'));
}

QString isoDay(int key)
{
    return QStringLiteral("\"%1-%2\"")
        .arg(isoMonth(key / 100))
        .arg(key % 100, 2, 10, QLatin1Char('0'));
}

QString shownMonth(int ym)
{
    return QStringLiteral("%1/%2")
        .arg(ym / 100, 4, 10, QLatin1Char('0'))
        .arg(ym % 100, 2, 10, QLatin1Char('0'));
}

QString number(qint64 n)
{
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(n);
}

// Columns a text takes on a terminal: the texts here are ASCII and
// Japanese, whose characters take two.
int widthOf(const QString& text)
{
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() < 0x1100 ? 1 : 2;
    return width;
}

QString padRight(const QString& text, int width)
{
    return text + QString(std::max(0, width - widthOf(text)), QLatin1Char(' '));
}

QString padLeft(const QString& text, int width)
{
    return QString(std::max(0, width - widthOf(text)), QLatin1Char(' ')) + text;
}

} // namespace

QString FiguresJson(const DiaryFigures& f)
{
    QString json = QStringLiteral("{\"from\":\"%1\",\"to\":\"%2\",\"days\":%3,\"days_written\":%4,"
                                  "\"characters\":%5,\"longest_entry\":")
                       .arg(isoMonth(f.fromYm), isoMonth(f.toYm))
                       .arg(f.days)
                       .arg(f.daysWritten)
                       .arg(f.characters);
    json += f.longestEntry ? QStringLiteral("{\"date\":%1,\"characters\":%2}")
                                 .arg(isoDay(f.longestEntry->key))
                                 .arg(f.longestEntry->characters)
                           : QStringLiteral("null");
    json += QStringLiteral(",\"longest_streak\":");
    json += f.longestStreak
                ? QStringLiteral("{\"days\":%1,\"from\":%2,\"to\":%3}")
                      .arg(f.longestStreak->days)
                      .arg(isoDay(f.longestStreak->firstKey), isoDay(f.longestStreak->lastKey))
                : QStringLiteral("null");
    json += QStringLiteral(",\"current_streak\":%1,\"months\":[").arg(f.currentStreak);
    QStringList months;
    for (const MonthFigures& m : f.months)
        months << QStringLiteral("{\"month\":\"%1\",\"days_written\":%2,\"characters\":%3}")
                      .arg(isoMonth(m.month))
                      .arg(m.daysWritten)
                      .arg(m.characters);
    json += months.join(QLatin1Char(',')) + QStringLiteral("]}\n");
    return json;
}

QString FiguresText(const DiaryFigures& f)
{
    const QString none = QStringLiteral("なし");
    const QList<std::pair<QString, QString>> lines = {
        {QStringLiteral("期間"),
         QStringLiteral("%1～%2").arg(shownMonth(f.fromYm), shownMonth(f.toYm))},
        {QStringLiteral("登録されている日"), number(f.days) + QStringLiteral("日")},
        {QStringLiteral("記録した日"), number(f.daysWritten) + QStringLiteral("日")},
        {QStringLiteral("文字数"), number(f.characters) + QStringLiteral("文字")},
        {QStringLiteral("1日の平均"), number(f.averageCharacters()) + QStringLiteral("文字")},
        {QStringLiteral("最も長い日"), f.longestEntry ? QStringLiteral("%1（%2文字）")
                                                            .arg(FormatDayKey(f.longestEntry->key),
                                                                 number(f.longestEntry->characters))
                                                      : none},
        {QStringLiteral("最長の連続"),
         f.longestStreak
             ? QStringLiteral("%1日（%2～%3）")
                   .arg(number(f.longestStreak->days), FormatDayKey(f.longestStreak->firstKey),
                        FormatDayKey(f.longestStreak->lastKey))
             : none},
        {QStringLiteral("現在の連続"), number(f.currentStreak) + QStringLiteral("日")},
    };
    int labelWidth = 0;
    for (const auto& line : lines)
        labelWidth = std::max(labelWidth, widthOf(line.first));
    QString text;
    for (const auto& [label, value] : lines)
        text += padRight(label, labelWidth + 2) + value + QLatin1Char('\n');

    // The months: each number column as wide as its heading or its widest
    // number.
    const QString monthHead = QStringLiteral("月");
    const QString daysHead = QStringLiteral("記録した日");
    const QString charactersHead = QStringLiteral("文字数");
    int daysWidth = widthOf(daysHead);
    int charactersWidth = widthOf(charactersHead);
    for (const MonthFigures& m : f.months) {
        daysWidth = std::max(daysWidth, widthOf(number(m.daysWritten)));
        charactersWidth = std::max(charactersWidth, widthOf(number(m.characters)));
    }
    const int monthWidth = widthOf(shownMonth(f.fromYm));
    text += QLatin1Char('\n') + padRight(monthHead, monthWidth) + QStringLiteral("  ") +
            padLeft(daysHead, daysWidth) + QStringLiteral("  ") +
            padLeft(charactersHead, charactersWidth) + QLatin1Char('\n');
    for (const MonthFigures& m : f.months)
        text += shownMonth(m.month) + QStringLiteral("  ") +
                padLeft(number(m.daysWritten), daysWidth) + QStringLiteral("  ") +
                padLeft(number(m.characters), charactersWidth) + QLatin1Char('\n');
    return text;
}
