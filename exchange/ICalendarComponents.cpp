#include "exchange/ICalendarComponents.h"

#include "exchange/DayTexts.h"
#include "exchange/ExchangeError.h"
#include "exchange/ICalendarWriter.h"
#include "platform/DayKey.h"

#include <libical/ical.h>

#include <cstring>
#include <memory>

namespace {

struct IcalFree
{
    void operator()(char* text) const { icalmemory_free_buffer(text); }
};
using IcalText = std::unique_ptr<char, IcalFree>;

icaltimetype dateOf(const QDate& date)
{
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

// The title of an entry: its first line with a visible character (lines
// end as EntryLines says), or the date when it has none. A SUMMARY of
// blanks is written as an empty value, which libical refuses to read.
QByteArray titleOf(const QString& text, int key)
{
    const QStringView all(text);
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != QLatin1Char('\r') && all[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = all.sliced(start, end - start);
        if (!line.trimmed().isEmpty())
            return line.toUtf8();
        if (end < all.size() && all[end] == QLatin1Char('\r') && end + 1 < all.size() &&
            all[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return LongDate(key).toUtf8();
}

// The entry with its line breaks (CR LF, CR, LF) as LF, which libical
// writes as "\n".
QByteArray descriptionOf(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    char* const begin = bytes.data();
    char* const end = begin + bytes.size();
    char* from = static_cast<char*>(std::memchr(begin, '\r', size_t(end - begin)));
    if (!from)
        return bytes;
    char* to = from;
    while (from != end) {
        if (*from == '\r') {
            *to++ = '\n';
            if (from + 1 != end && from[1] == '\n')
                ++from;
        } else {
            *to++ = *from;
        }
        ++from;
    }
    bytes.truncate(to - begin);
    return bytes;
}

// The blanks (spaces, tabs) at the start or end of a text value, as code
// points in hex ("20 09"): libical drops them when it reads a value back.
QByteArray blanksOf(QStringView run)
{
    QByteArrayList codes;
    for (const QChar c : run)
        codes << QByteArray::number(c.unicode(), 16);
    return codes.join(' ');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The restriction check's complaints about a component, for the warning.
QString restrictionErrors(icalcomponent* component)
{
    QStringList errors;
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY))
        errors << QString::fromUtf8(icalproperty_get_xlicerror(p));
    return errors.join(QStringLiteral("; "));
}

} // namespace

ICalendarComponents::ICalendarComponents(icalcomponent* calendar, const QDateTime& stamp,
                                         bool events)
    : mCalendar(calendar), mStamp(time_t(stamp.toSecsSinceEpoch())), mEvents(events)
{
    // The time zones that libical sets up on first use are set up here, on
    // one thread, before the renders run side by side.
    icaltimezone_get_utc_timezone();
}

std::string ICalendarComponents::ShapeOf(icalcomponent* component)
{
    std::string shape;
    auto add = [&shape](int kind) {
        shape += char(kind >> 8);
        shape += char(kind & 0xff);
    };
    add(int(icalcomponent_isa(component)));
    for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_ANY_PROPERTY)) {
        const icalproperty_kind kind = icalproperty_isa(p);
        add(int(kind));
        if (kind == ICAL_X_PROPERTY) {
            shape += icalproperty_get_x_name(p);
            shape += '\0';
        }
    }
    return shape;
}

icalcomponent* ICalendarComponents::allDay(bool event, int key, const QByteArray& uid) const
{
    icalcomponent* c = event ? icalcomponent_new_vevent() : icalcomponent_new_vjournal();
    icalcomponent_add_property(c, icalproperty_new_uid(uid.constData()));
    icalcomponent_add_property(c, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(
                                      mStamp, 0, icaltimezone_get_utc_timezone())));
    const QDate date = KeyToDate(key);
    icalcomponent_add_property(c, icalproperty_new_dtstart(dateOf(date)));
    if (event)
        icalcomponent_add_property(c, icalproperty_new_dtend(dateOf(date.addDays(1))));
    return c;
}

void ICalendarComponents::check(icalcomponent* component) const
{
    const std::string shape = ShapeOf(component);
    const std::lock_guard<std::mutex> lock(mCheckLock);
    if (mCheckedShapes.count(shape))
        return;
    icalcomponent_add_component(mCalendar, component);
    const bool valid = icalrestriction_check(mCalendar) != 0;
    icalcomponent_remove_component(mCalendar, component);
    if (!valid) {
        const QString errors = restrictionErrors(component);
        icalcomponent_free(component);
        throw ExchangeError(QStringLiteral("iCalendar の検査で誤りが見つかりました。（") + errors +
                            QStringLiteral("）"));
    }
    mCheckedShapes.insert(shape);
}

void ICalendarComponents::append(icalcomponent* component, QByteArray& out) const
{
    check(component);
    const IcalText text(icalcomponent_as_ical_string_r(component));
    icalcomponent_free(component);
    out.append(text.get(), qsizetype(std::strlen(text.get())));
}

QByteArray ICalendarComponents::render(const std::vector<ICalendarDay>& days) const
{
    QByteArray out;
    for (const ICalendarDay& day : days) {
        if (day.entry) {
            const QString& text = *day.entry;
            icalcomponent* c = allDay(mEvents, day.key, ICalendarWriter::EntryUid(day.key));
            icalcomponent_add_property(
                c, icalproperty_new_summary(titleOf(text, day.key).constData()));
            icalcomponent_add_property(
                c, icalproperty_new_description(descriptionOf(text).constData()));
            // Blanks around the entry, which libical would drop, go beside
            // it for this program's own import.
            qsizetype lead = 0;
            while (lead < text.size() && isBlank(text[lead]))
                ++lead;
            qsizetype trail = 0;
            while (trail < text.size() - lead && isBlank(text[text.size() - 1 - trail]))
                ++trail;
            const std::pair<const char*, QStringView> blanks[] = {
                {ICalendarWriter::kLeadingBlanks, QStringView(text).first(lead)},
                {ICalendarWriter::kTrailingBlanks, QStringView(text).last(trail)}};
            for (const auto& [name, run] : blanks) {
                if (run.isEmpty())
                    continue;
                icalproperty* p = icalproperty_new_x(blanksOf(run).constData());
                icalproperty_set_x_name(p, name);
                icalcomponent_add_property(c, p);
            }
            append(c, out);
        }
        if (!day.holiday.isEmpty()) {
            icalcomponent* c = allDay(true, day.key, ICalendarWriter::HolidayUid(day.key));
            icalcomponent_add_property(c,
                                       icalproperty_new_summary(day.holiday.toUtf8().constData()));
            icalcomponent_add_property(c, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
            append(c, out);
        }
    }
    return out;
}
