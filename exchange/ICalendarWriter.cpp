#include "exchange/ICalendarWriter.h"

#include "Version.h"
#include "exchange/DayTexts.h"
#include "exchange/ExchangeError.h"
#include "platform/DayKey.h"

#include <libical/ical.h>

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

// The title of an entry: its first line with a visible character, or the
// date when it has none. A SUMMARY of blanks is written as an empty value,
// which libical refuses to read.
QByteArray titleOf(const QStringList& lines, int key)
{
    for (const QString& line : lines)
        if (!line.trimmed().isEmpty())
            return line.toUtf8();
    return LongDate(key).toUtf8();
}

// The entry with its line breaks as LF, which libical writes as "\n".
QByteArray descriptionOf(const QString& text)
{
    QString description = text;
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    description.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return description.toUtf8();
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

ICalendarWriter::ICalendarWriter(QIODevice& device) : mOut(device) {}

ICalendarWriter::~ICalendarWriter()
{
    // Components still pending belong to the calendar and go with it.
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
}

icalcomponent* ICalendarWriter::allDay(bool event, int key, const QByteArray& uid)
{
    icalcomponent* c = event ? icalcomponent_new_vevent() : icalcomponent_new_vjournal();
    icalcomponent_add_property(c, icalproperty_new_uid(uid.constData()));
    icalcomponent_add_property(
        c, icalproperty_new_dtstamp(icaltime_from_timet_with_zone(
               time_t(mInfo.stamp.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone())));
    const QDate date = KeyToDate(key);
    icalcomponent_add_property(c, icalproperty_new_dtstart(dateOf(date)));
    if (event)
        icalcomponent_add_property(c, icalproperty_new_dtend(dateOf(date.addDays(1))));
    return c;
}

void ICalendarWriter::writeComponent(icalcomponent* component)
{
    icalcomponent_add_component(mCalendar, component);
    mPending.push_back(component);
    if (mPending.size() >= kBatch)
        flushPending();
}

void ICalendarWriter::flushPending()
{
    // Checked inside the calendar, the way a reader sees it. A check costs
    // about the same for one component as for some hundreds, so they are
    // checked in batches; the whole file is never held.
    const bool valid = mPending.empty() || icalrestriction_check(mCalendar) != 0;
    QString errors;
    for (icalcomponent* c : mPending) {
        icalcomponent_remove_component(mCalendar, c);
        if (!valid && errors.isEmpty())
            errors = restrictionErrors(c);
        if (valid) {
            const IcalText text(icalcomponent_as_ical_string_r(c));
            mOut.append(text.get(), qsizetype(strlen(text.get())));
        }
        icalcomponent_free(c);
    }
    mPending.clear();
    if (!valid)
        throw ExchangeError(QStringLiteral("iCalendar の検査で誤りが見つかりました。（") + errors +
                            QStringLiteral("）"));
}

bool ICalendarWriter::write(const DayRow& day)
{
    bool written = false;
    if (day.hasEntry()) {
        icalcomponent* c = allDay(mInfo.icsEvents, day.key, EntryUid(day.key));
        icalcomponent_add_property(
            c, icalproperty_new_summary(titleOf(EntryLines(*day.text), day.key).constData()));
        icalcomponent_add_property(
            c, icalproperty_new_description(descriptionOf(*day.text).constData()));
        // Blanks around the entry, which libical would drop, go beside it
        // for this program's own import.
        const QString& text = *day.text;
        qsizetype lead = 0;
        while (lead < text.size() && isBlank(text[lead]))
            ++lead;
        qsizetype trail = 0;
        while (trail < text.size() - lead && isBlank(text[text.size() - 1 - trail]))
            ++trail;
        const std::pair<const char*, QStringView> blanks[] = {
            {kLeadingBlanks, QStringView(text).first(lead)},
            {kTrailingBlanks, QStringView(text).last(trail)}};
        for (const auto& [name, run] : blanks) {
            if (run.isEmpty())
                continue;
            icalproperty* p = icalproperty_new_x(blanksOf(run).constData());
            icalproperty_set_x_name(p, name);
            icalcomponent_add_property(c, p);
        }
        writeComponent(c);
        written = true;
    }
    if (mInfo.icsHolidays && day.holiday()) {
        // Saturdays and Sundays are left out unless they are public
        // holidays: every calendar shows the weekend already.
        QString name = mHolidays.nameOf(day.key);
        if (name.isEmpty() && day.week >= 1 && day.week <= 5)
            name = QStringLiteral("休日");
        if (!name.isEmpty()) {
            icalcomponent* c = allDay(true, day.key, HolidayUid(day.key));
            icalcomponent_add_property(c, icalproperty_new_summary(name.toUtf8().constData()));
            icalcomponent_add_property(c, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
            writeComponent(c);
            written = true;
        }
    }
    return written;
}

void ICalendarWriter::finish()
{
    flushPending();
    mOut.append(mFooter);
    mOut.flush();
}
