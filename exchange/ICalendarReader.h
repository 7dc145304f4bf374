#pragma once

#include "exchange/ImportFile.h"

#include <QTimeZone>

// Reads iCalendar files with libical: every VJOURNAL and every VEVENT, all
// day or timed, becomes lines of the entry of its day (the day of DTSTART):
// its SUMMARY, then its DESCRIPTION. A timed event's start time (in the
// local time zone, unless the time floats) stands before its summary
// ("10:00 会議"). A day with several of them takes them in the file's order,
// all-day ones before timed ones, timed ones by time. The entries this
// program writes come back from their descriptions alone, its holiday
// events are passed over; a repeating event is taken on its first day only.
// Line breaks become CR LF.
class ICalendarReader
{
public:
    explicit ICalendarReader(const QTimeZone& local = QTimeZone::systemTimeZone()) : mLocal(local)
    {}
    ReadResult read(const QByteArray& bytes) const;

private:
    QTimeZone mLocal;
};
