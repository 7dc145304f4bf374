#pragma once

#include <QDate>

#include <optional>

// The one place the program asks for today's date, so that tests can fix it.
namespace Clock {

// Today's date: the system's local date unless a test has set one.
QDate Today();

// Makes Today() answer `date`; std::nullopt returns to the system clock.
void setTodayForTesting(std::optional<QDate> date);

} // namespace Clock
