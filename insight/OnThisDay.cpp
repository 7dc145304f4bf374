#include "insight/OnThisDay.h"

#include "insight/DiaryTally.h"

#include <QDate>

QString FirstWrittenLine(const QString& text)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QString line = text.mid(start, end - start).trimmed();
        if (!line.isEmpty())
            return line;
        start = end + 1;
    }
    return QString();
}

QList<PastDay> PastDaysOf(const DiaryTally& tally, int key)
{
    QList<PastDay> past;
    if (tally.days().empty())
        return past;
    const int year = key / 10000;
    const int monthDay = key % 10000;
    const int firstYear = tally.days().front().key / 10000;
    for (int y = year - 1; y >= firstYear; --y) {
        PastDay day;
        day.key = y * 10000 + monthDay;
        if (monthDay == 229 && !QDate::isLeapYear(y)) {
            day.key = y * 10000 + 228;
            day.insteadOf29 = true;
        }
        const TalliedDay* found = tally.find(day.key);
        if (!found || !found->count.written)
            continue;
        day.week = found->week;
        day.yearsAgo = year - y;
        day.firstLine = FirstWrittenLine(found->text);
        past.append(day);
    }
    return past;
}
