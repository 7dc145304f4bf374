#pragma once

#include <QDate>
#include <QList>
#include <QString>

// The public holidays of Japan, worked out from the rules of the Act on
// National Holidays as amended, for every day from the Act's first day
// (1948-07-20) on: the national holidays (祝日) with the years each applied,
// the days fixed by special acts, the substitute holidays (振替休日) and the
// days between two national holidays (named "休日").
//
// The equinox days are fixed officially only a year ahead; they come from
// the established approximation of the equinoxes, which is valid for the
// years 1900 to 2099. From 2100 on no equinox day is answered, so that a day
// nobody can vouch for is never reported as a holiday.

struct JapaneseHoliday
{
    QDate date;
    QString name;
};

// The name of the public holiday on `date`; empty when the day is none (or
// lies before 1948-07-20).
QString JapaneseHolidayName(const QDate& date);

// Every public holiday from `first` to `last`, both included, in date order.
QList<JapaneseHoliday> JapaneseHolidays(const QDate& first, const QDate& last);
