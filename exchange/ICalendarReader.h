#pragma once

#include "exchange/ImportFile.h"

#include <QTimeZone>

// Reads iCalendar files with libical: every VJOURNAL and every VEVENT, all
// day or timed, becomes lines of the entry of its day (the day of DTSTART):
// its SUMMARY, then its DESCRIPTION. A timed event's start time (in the
// local time zone, unless the time floats) stands before its summary
// ("10:00 会議"). An all-day event over several days is also on each later
// day it covers inside the calendar's stored range (`stored`; none when it
// is empty), so that a file reaching far ahead does not widen the range
// day by day. A day with several of them takes them in the file's order,
// all-day ones before timed ones, timed ones by time. The entries this
// program writes come back from their descriptions alone, its holiday
// events are passed over; a repeating event is taken on its first day only.
// The lines are unfolded before the text is decoded. Line breaks become
// CR LF.
class ICalendarReader
{
public:
    explicit ICalendarReader(const QTimeZone& local = QTimeZone::systemTimeZone(),
                             const StoredRange& stored = {})
        : mLocal(local), mRange(stored)
    {}
    ReadResult read(const QByteArray& bytes) const;

private:
    QTimeZone mLocal;
    StoredRange mRange;
};
