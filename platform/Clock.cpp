#include "platform/Clock.h"

namespace {
std::optional<QDate> fixedToday;
}

QDate Clock::Today()
{
    return fixedToday ? *fixedToday : QDate::currentDate();
}

void Clock::setTodayForTesting(std::optional<QDate> date)
{
    fixedToday = date;
}

QDateTime Clock::Now()
{
    QDateTime now = QDateTime::currentDateTime();
    if (fixedToday)
        now.setDate(*fixedToday);
    return now;
}
