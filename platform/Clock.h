#pragma once

#include <QDate>
#include <QDateTime>

#include <optional>

// The one place the program asks for today's date, so that tests can fix it.
namespace Clock {

// Today's date: the system's local date unless a test has set one.
QDate Today();

// The local date and time: the system's clock, on the day a test has set.
QDateTime Now();

// Makes Today() answer `date`; std::nullopt returns to the system clock.
void setTodayForTesting(std::optional<QDate> date);

} // namespace Clock
