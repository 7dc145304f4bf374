#pragma once

#include "exchange/DayWriter.h"
#include "exchange/HolidayNames.h"
#include "exchange/ICalendarComponents.h"

#include <QByteArray>

#include <deque>
#include <future>
#include <memory>
#include <vector>

struct icalcomponent_impl;

// "iCalendar": every day with an entry as a VJOURNAL, or as an all-day
// VEVENT (DTSTART;VALUE=DATE and DTEND on the next day), the entry's first
// line that is not empty its SUMMARY (its title in calendar programs) and
// the whole entry its DESCRIPTION, which the import takes back as it is. Optionally the
// holidays (public holidays and weekdays marked 休日) as all-day VEVENTs,
// TRANSP:TRANSPARENT. Each day has a UID of its own that stays the same from
// export to export, so that a calendar program updates what it imported
// before. No METHOD property.
//
// libical builds and writes every component (ICalendarComponents). The
// days are handed over in batches that are made into text on threads of
// their own, side by side, while the next days are read; the pieces go into
// the file in the days' order as they are done, so that the whole file is
// never held.
class ICalendarWriter final : public DayWriter
{
public:
    explicit ICalendarWriter(QIODevice& device);
    ~ICalendarWriter() override;
    ICalendarWriter(const ICalendarWriter&) = delete;
    ICalendarWriter& operator=(const ICalendarWriter&) = delete;

    void begin(const ExportInfo& info) override;
    bool write(const DayRow& day) override;
    void finish() override;

    // The UIDs of a day's entry and of its holiday event.
    static QByteArray EntryUid(int key);
    static QByteArray HolidayUid(int key);
    // True for the UID of a holiday event, and of an entry, this writer
    // made.
    static bool IsHolidayUid(const QByteArray& uid);
    static bool IsEntryUid(const QByteArray& uid);

    // The properties that keep the blanks (spaces, tabs) at the start and
    // the end of an entry, which iCalendar readers drop from a value, as
    // hex code points ("20 20 9"); written only for an entry that has them.
    static constexpr const char* kLeadingBlanks = "X-ZEDU-LEADING-BLANKS";
    static constexpr const char* kTrailingBlanks = "X-ZEDU-TRAILING-BLANKS";
    // The entry from its description as read and those properties' values.
    static QString RestoreBlanks(const QString& description, const QByteArray& leading,
                                 const QByteArray& trailing);

private:
    // Hands the batch gathered so far to a thread of its own.
    void startBatch();
    // Writes the piece of the oldest batch under way, once it is done.
    void writeOldest();

    static constexpr size_t kBatch = 256;
    std::vector<ICalendarDay> mBatch;
    std::deque<std::future<QByteArray>> mRunning;
    size_t mMostRunning = 1;
    std::unique_ptr<ICalendarComponents> mComponents;
    OutputBuffer mOut;
    ExportInfo mInfo;
    icalcomponent_impl* mCalendar = nullptr;
    QByteArray mFooter;
    HolidayNames mHolidays;
};
