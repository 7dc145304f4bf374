#include "platform/JapaneseHolidays.h"

#include <algorithm>

namespace {

// The Act took effect on this day; nothing before it is a public holiday.
const QDate kActStart(1948, 7, 20);
// From this day a national holiday on a Sunday makes the next day a holiday.
const QDate kSubstituteStart(1973, 4, 12);
// From this day a day between two national holidays is a holiday.
const QDate kBetweenStart(1985, 12, 27);
// From this day the substitute is the next day that is no national holiday
// (before, only the very next day), and a Sunday between two national
// holidays is no longer left out.
const QDate kNextFreeDayStart(2007, 1, 1);

// The day of the month of the vernal (March) or autumnal (September)
// equinox in Japan, 0 when it is not known. The established approximation
// of the astronomical equinoxes, valid for 1900 to 2099. The integer
// divisions truncate toward zero, as the approximation expects for the
// years before 1980.
int equinoxDay(int year, bool autumn)
{
    if (year < 1900 || year > 2099)
        return 0;
    const bool early = year < 1980;
    const double base = autumn ? (early ? 23.2588 : 23.2488) : (early ? 20.8357 : 20.8431);
    const int leapDays = early ? (year - 1983) / 4 : (year - 1980) / 4;
    return int(base + 0.242194 * (year - 1980) - leapDays);
}

// The `n`th Monday of a month.
QDate nthMonday(int year, int month, int n)
{
    const QDate first(year, month, 1);
    const int firstMonday = 1 + (8 - first.dayOfWeek()) % 7;
    return QDate(year, month, firstMonday + 7 * (n - 1));
}

// The national holidays of one year, and the days special acts made
// holidays like them, in date order.
QList<JapaneseHoliday> nationalHolidays(int year)
{
    QList<JapaneseHoliday> days;
    auto add = [&](const QDate& date, const char16_t* name) {
        if (date.isValid() && date >= kActStart)
            days.append({date, QString::fromUtf16(name)});
    };
    auto fixed = [&](int month, int day, const char16_t* name) {
        add(QDate(year, month, day), name);
    };

    fixed(1, 1, u"元日");
    if (year < 2000)
        fixed(1, 15, u"成人の日");
    else
        add(nthMonday(year, 1, 2), u"成人の日");
    if (year >= 1967)
        fixed(2, 11, u"建国記念の日");
    if (year >= 2020)
        fixed(2, 23, u"天皇誕生日");
    if (const int day = equinoxDay(year, false))
        fixed(3, day, u"春分の日");
    if (year <= 1988)
        fixed(4, 29, u"天皇誕生日");
    else if (year <= 2006)
        fixed(4, 29, u"みどりの日");
    else
        fixed(4, 29, u"昭和の日");
    fixed(5, 3, u"憲法記念日");
    if (year >= 2007)
        fixed(5, 4, u"みどりの日");
    fixed(5, 5, u"こどもの日");

    // The Olympic Games of 2020, held in 2021, moved three days in both years.
    if (year == 2020) {
        fixed(7, 23, u"海の日");
        fixed(7, 24, u"スポーツの日");
        fixed(8, 10, u"山の日");
    } else if (year == 2021) {
        fixed(7, 22, u"海の日");
        fixed(7, 23, u"スポーツの日");
        fixed(8, 8, u"山の日");
    } else {
        if (year >= 1996 && year <= 2002)
            fixed(7, 20, u"海の日");
        else if (year >= 2003)
            add(nthMonday(year, 7, 3), u"海の日");
        if (year >= 2016)
            fixed(8, 11, u"山の日");
    }

    if (year >= 1966 && year <= 2002)
        fixed(9, 15, u"敬老の日");
    else if (year >= 2003)
        add(nthMonday(year, 9, 3), u"敬老の日");
    if (const int day = equinoxDay(year, true))
        fixed(9, day, u"秋分の日");

    if (year >= 1966 && year <= 1999)
        fixed(10, 10, u"体育の日");
    else if (year >= 2000 && year <= 2018)
        add(nthMonday(year, 10, 2), u"体育の日");
    else if (year == 2019)
        // The official list names the last one by the name it took from 2020.
        add(nthMonday(year, 10, 2), u"体育の日（スポーツの日）");
    else if (year >= 2022)
        add(nthMonday(year, 10, 2), u"スポーツの日");

    fixed(11, 3, u"文化の日");
    fixed(11, 23, u"勤労感謝の日");
    if (year >= 1989 && year <= 2018)
        fixed(12, 23, u"天皇誕生日");

    // Days of one year only, each made a holiday by an act of its own.
    switch (year) {
    case 1959:
        fixed(4, 10, u"結婚の儀");
        break;
    case 1989:
        fixed(2, 24, u"大喪の礼");
        break;
    case 1990:
        fixed(11, 12, u"即位礼正殿の儀");
        break;
    case 1993:
        fixed(6, 9, u"結婚の儀");
        break;
    case 2019:
        fixed(5, 1, u"休日（祝日扱い）");
        fixed(10, 22, u"休日（祝日扱い）");
        break;
    default:
        break;
    }

    std::sort(days.begin(), days.end(),
              [](const JapaneseHoliday& a, const JapaneseHoliday& b) { return a.date < b.date; });
    return days;
}

// Every public holiday of one year, in date order.
QList<JapaneseHoliday> holidaysOfYear(int year)
{
    QList<JapaneseHoliday> days = nationalHolidays(year);
    auto national = [&](const QDate& date) {
        return std::any_of(days.cbegin(), days.cend(),
                           [&](const JapaneseHoliday& h) { return h.date == date; });
    };
    const int nationalCount = int(days.size());

    QList<QDate> substitutes;
    for (int i = 0; i < nationalCount; ++i) {
        const QDate date = days[i].date;
        if (date.dayOfWeek() != Qt::Sunday || date < kSubstituteStart)
            continue;
        QDate next = date.addDays(1);
        if (date < kNextFreeDayStart) {
            if (national(next))
                continue;
        } else {
            while (national(next))
                next = next.addDays(1);
        }
        if (!substitutes.contains(next))
            substitutes.append(next);
    }

    QList<QDate> between;
    for (int i = 0; i + 1 < nationalCount; ++i) {
        const QDate day = days[i].date.addDays(1);
        if (days[i + 1].date != day.addDays(1) || day < kBetweenStart)
            continue;
        if (substitutes.contains(day))
            continue;
        if (day < kNextFreeDayStart && day.dayOfWeek() == Qt::Sunday)
            continue;
        between.append(day);
    }

    for (const QDate& date : substitutes)
        days.append({date, QStringLiteral("振替休日")});
    for (const QDate& date : between)
        days.append({date, QStringLiteral("休日")});
    std::sort(days.begin(), days.end(),
              [](const JapaneseHoliday& a, const JapaneseHoliday& b) { return a.date < b.date; });
    return days;
}

} // namespace

QString JapaneseHolidayName(const QDate& date)
{
    if (!date.isValid() || date < kActStart)
        return QString();
    for (const JapaneseHoliday& holiday : holidaysOfYear(date.year()))
        if (holiday.date == date)
            return holiday.name;
    return QString();
}

QList<JapaneseHoliday> JapaneseHolidays(const QDate& first, const QDate& last)
{
    QList<JapaneseHoliday> result;
    if (!first.isValid() || !last.isValid() || last < kActStart)
        return result;
    const QDate from = std::max(first, kActStart);
    for (int year = from.year(); year <= last.year(); ++year)
        for (const JapaneseHoliday& holiday : holidaysOfYear(year))
            if (holiday.date >= from && holiday.date <= last)
                result.append(holiday);
    return result;
}
