#include "exchange/DayTexts.h"

#include "platform/DayKey.h"

#include <QDate>

QString WeekName(int week)
{
    static const QString names = QStringLiteral("日月火水木金土");
    return week >= 0 && week < 7 ? names.mid(week, 1) : QString();
}

QString ListHeading(const DayRow& day)
{
    QString heading =
        FormatDayKey(day.key) + QLatin1Char('(') + WeekName(day.week) + QLatin1Char(')');
    if (day.holiday())
        heading += QStringLiteral("（休日）");
    return heading;
}

QString LongDate(int key)
{
    const QDate date = KeyToDate(key);
    return QStringLiteral("%1年%2月%3日（%4）")
        .arg(key / 10000)
        .arg(key / 100 % 100)
        .arg(key % 100)
        .arg(WeekName(date.dayOfWeek() % 7));
}

QStringList EntryLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n || lines.isEmpty())
        lines.append(text.mid(start));
    return lines;
}

QString TextLineBreak()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\r\n");
#else
    return QStringLiteral("\n");
#endif
}
