#include "exchange/ICalendarWriter.h"

#include "Version.h"
#include "exchange/ExchangeError.h"

#include <QThread>

#include <libical/ical.h>

#include <algorithm>
#include <system_error>

namespace {

struct IcalFree
{
    void operator()(char* text) const { icalmemory_free_buffer(text); }
};
using IcalText = std::unique_ptr<char, IcalFree>;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

ICalendarWriter::ICalendarWriter(QIODevice& device) : mOut(device) {}

ICalendarWriter::~ICalendarWriter()
{
    // A batch under way still uses the calendar: waited for first (a
    // cancelled or failed export ends here).
    mRunning.clear();
    if (mCalendar)
        icalcomponent_free(mCalendar);
}

QByteArray ICalendarWriter::EntryUid(int key)
{
    return QByteArray::number(key) + QByteArrayLiteral("-entry@zedu");
}

QByteArray ICalendarWriter::HolidayUid(int key)
{
    return QByteArray::number(key) + QByteArrayLiteral("-holiday@zedu");
}

bool ICalendarWriter::IsHolidayUid(const QByteArray& uid)
{
    return uid.endsWith(QByteArrayLiteral("-holiday@zedu"));
}

QString ICalendarWriter::RestoreBlanks(const QString& description, const QByteArray& leading,
                                       const QByteArray& trailing)
{
    auto decode = [](const QByteArray& codes) {
        QString run;
        for (const QByteArray& code : codes.split(' ')) {
            bool isNumber = false;
            const ushort c = code.toUShort(&isNumber, 16);
            if (isNumber && isBlank(QChar(c)))
                run += QChar(c);
        }
        return run;
    };
    return decode(leading) + description + decode(trailing);
}

bool ICalendarWriter::IsEntryUid(const QByteArray& uid)
{
    return uid.endsWith(QByteArrayLiteral("-entry@zedu"));
}

void ICalendarWriter::begin(const ExportInfo& info)
{
    mInfo = info;
    mCalendar = icalcomponent_new_vcalendar();
    icalcomponent_add_property(mCalendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(
        mCalendar, icalproperty_new_prodid("-//voradu//Zedu " ZEDU_VERSION_TEXT "//JA"));
    icalcomponent_add_property(mCalendar, icalproperty_new_calscale("GREGORIAN"));
    // The calendar's own lines as libical writes them; the components go
    // between its BEGIN and END lines as they are made.
    const IcalText shell(icalcomponent_as_ical_string_r(mCalendar));
    const QByteArray text(shell.get());
    const qsizetype end = text.lastIndexOf("END:VCALENDAR");
    if (end < 0)
        throw ExchangeError(QStringLiteral("iCalendar の書き出しに失敗しました。"));
    mOut.append(text.left(end));
    mFooter = text.mid(end);
    mComponents = std::make_unique<ICalendarComponents>(mCalendar, info.stamp, info.icsEvents);
    // One batch per processor, while this thread reads the next days.
    mMostRunning = size_t(std::max(1, QThread::idealThreadCount()));
    mBatch.reserve(kBatch);
}

bool ICalendarWriter::write(const DayRow& day)
{
    ICalendarDay shown{day.key, std::nullopt, QString()};
    if (day.hasEntry())
        shown.entry = *day.text;
    if (mInfo.icsHolidays && day.holiday()) {
        // Saturdays and Sundays are left out unless they are public
        // holidays: every calendar shows the weekend already.
        shown.holiday = mHolidays.nameOf(day.key);
        if (shown.holiday.isEmpty() && day.week >= 1 && day.week <= 5)
            shown.holiday = QStringLiteral("休日");
    }
    if (!shown.entry && shown.holiday.isEmpty())
        return false;
    mBatch.push_back(std::move(shown));
    if (mBatch.size() >= kBatch)
        startBatch();
    return true;
}

void ICalendarWriter::startBatch()
{
    if (mBatch.empty())
        return;
    while (mRunning.size() >= mMostRunning)
        writeOldest();
    std::vector<ICalendarDay> days;
    days.swap(mBatch);
    mBatch.reserve(kBatch);
    const ICalendarComponents* components = mComponents.get();
    try {
        // The days are copied (their texts shared), so that they are still
        // here when no thread can be had.
        mRunning.push_back(std::async(std::launch::async,
                                      [components, days] { return components->render(days); }));
    } catch (const std::system_error&) {
        // No thread to be had: the batch is made here, after those under
        // way.
        while (!mRunning.empty())
            writeOldest();
        mOut.append(components->render(days));
    }
}

void ICalendarWriter::writeOldest()
{
    std::future<QByteArray> oldest = std::move(mRunning.front());
    mRunning.pop_front();
    // A failed check comes out here, as the ExchangeError it threw.
    mOut.append(oldest.get());
}

void ICalendarWriter::finish()
{
    startBatch();
    while (!mRunning.empty())
        writeOldest();
    mOut.append(mFooter);
    mOut.flush();
}
