#include "exchange/ICalendarReader.h"

#include "exchange/ICalendarWriter.h"
#include "platform/DayKey.h"

#include <QMap>
#include <QStringDecoder>
#include <QTime>

#include <libical/ical.h>

#include <memory>

namespace {

struct Item
{
    bool timed = false;
    QTime time;
    QString text;
};

QString lines(const char* text)
{
    QString s = QString::fromUtf8(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return s;
}

// "VEVENT「会議」" or "VJOURNAL（UID xyz）", to say where a fault is.
QString describe(icalcomponent* c)
{
    QString kind = QString::fromUtf8(icalcomponent_kind_to_string(icalcomponent_isa(c)));
    if (const char* summary = icalcomponent_get_summary(c))
        return kind + QStringLiteral("「") + QString::fromUtf8(summary) + QStringLiteral("」");
    if (const char* uid = icalcomponent_get_uid(c))
        return kind + QStringLiteral("（UID ") + QString::fromUtf8(uid) + QStringLiteral("）");
    return kind;
}

QString parseErrorReason(icalproperty* error)
{
    QString reason = QStringLiteral("読めない部分があります");
    if (icalparameter* type =
            icalproperty_get_first_parameter(error, ICAL_XLICERRORTYPE_PARAMETER)) {
        switch (icalparameter_get_xlicerrortype(type)) {
        case ICAL_XLICERRORTYPE_COMPONENTPARSEERROR:
            reason = QStringLiteral("BEGIN と END の対応が正しくありません");
            break;
        case ICAL_XLICERRORTYPE_PROPERTYPARSEERROR:
            reason = QStringLiteral("行の書き方が正しくありません");
            break;
        case ICAL_XLICERRORTYPE_PARAMETERNAMEPARSEERROR:
        case ICAL_XLICERRORTYPE_PARAMETERVALUEPARSEERROR:
            reason = QStringLiteral("パラメーターが正しくありません");
            break;
        case ICAL_XLICERRORTYPE_VALUEPARSEERROR:
            reason = QStringLiteral("値が正しくありません");
            break;
        default:
            break;
        }
    }
    return reason + QStringLiteral("（") + QString::fromUtf8(icalproperty_get_xlicerror(error)) +
           QStringLiteral("）");
}

// The first parse error libical noted in `c` or below it.
QString firstParseError(icalcomponent* c)
{
    if (icalproperty* error = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY))
        return describe(c) + QStringLiteral(": ") + parseErrorReason(error);
    for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
        const QString error = firstParseError(child);
        if (!error.isEmpty())
            return error;
    }
    return QString();
}

} // namespace

// The content lines joined again: a line break followed by a space or a
// tab continues the line before it. Lines are folded by octets, so a fold
// may fall inside a UTF-8 character; only the unfolded text can be decoded.
QByteArray unfolded(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            qsizetype next = i + 1;
            if (c == '\r' && next < n && bytes[next] == '\n')
                ++next;
            if (next < n && (bytes[next] == ' ' || bytes[next] == '\t')) {
                i = next;
                continue;
            }
        }
        out += c;
    }
    return out;
}

ReadResult ICalendarReader::read(const QByteArray& bytes) const
{
    const qsizetype skip = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    // libical reads up to a terminating NUL: the copy has one.
    const QByteArray data = unfolded(QByteArrayView(bytes).sliced(skip));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8(data);
    if (utf8.hasError())
        return ReadResult::failure(NotUtf8Text(data));
    if (!data.trimmed().toUpper().startsWith("BEGIN:VCALENDAR"))
        return ReadResult::failure(QStringLiteral(
            "1行目: iCalendar のファイルではありません（BEGIN:VCALENDAR で始まっていません）。"));

    const std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> root(
        icalparser_parse_string(data.constData()), icalcomponent_free);
    if (!root)
        return ReadResult::failure(QStringLiteral("iCalendar として読めませんでした。"));
    const QString parseError = firstParseError(root.get());
    if (!parseError.isEmpty())
        return ReadResult::failure(QStringLiteral("iCalendar を読めませんでした。") + parseError +
                                   QStringLiteral("。"));

    QList<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
        calendars << root.get();
    else
        for (icalcomponent* c =
                 icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars << c;

    QMap<int, QList<Item>> byDay;
    for (icalcomponent* calendar : calendars) {
        for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VJOURNAL_COMPONENT)
                continue;
            const QByteArray uid(icalcomponent_get_uid(c));
            if (ICalendarWriter::IsHolidayUid(uid))
                continue;
            const icaltimetype start = icalcomponent_get_dtstart(c);
            if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start))
                return ReadResult::failure(QStringLiteral("iCalendar を読めませんでした。") +
                                           describe(c) +
                                           QStringLiteral(": 日付（DTSTART）がありません。"));
            Item item;
            QDate date(start.year, start.month, start.day);
            if (!icaltime_is_date(start)) {
                QDateTime at(date, QTime(start.hour, start.minute, start.second));
                if (start.zone)
                    at = QDateTime::fromSecsSinceEpoch(
                        qint64(icaltime_as_timet_with_zone(start, start.zone)), mLocal);
                date = at.date();
                item.timed = kind == ICAL_VEVENT_COMPONENT;
                item.time = at.time();
            }
            const int key = date.isValid() ? DayKey(date) : 0;
            if (WeekOfKey(key) < 0)
                return ReadResult::failure(QStringLiteral("iCalendar を読めませんでした。") +
                                           describe(c) +
                                           QStringLiteral(": 日付（DTSTART）が正しくありません。"));
            QStringList parts;
            const char* summary = icalcomponent_get_summary(c);
            const char* description = icalcomponent_get_description(c);
            // An entry this program wrote: its description is the whole
            // entry, its summary only the title.
            const bool ours = ICalendarWriter::IsEntryUid(uid) && description;
            if (ours)
                summary = nullptr;
            if (item.timed)
                parts << item.time.toString(QStringLiteral("HH:mm")) +
                             (summary ? QLatin1Char(' ') + lines(summary) : QString());
            else if (summary)
                parts << lines(summary);
            if (ours) {
                // An entry of this program, with the blanks around it.
                QByteArray around[2];
                for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
                     p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
                    const QByteArray name(icalproperty_get_x_name(p));
                    for (int i = 0; i < 2; ++i)
                        if (name == (i ? ICalendarWriter::kTrailingBlanks
                                       : ICalendarWriter::kLeadingBlanks))
                            around[i] = icalproperty_get_x(p);
                }
                parts << ICalendarWriter::RestoreBlanks(lines(description), around[0], around[1]);
            } else if (description) {
                parts << lines(description);
            }
            if (parts.isEmpty())
                continue;
            item.text = parts.join(QStringLiteral("\r\n"));
            byDay[key].append(item);
            // An all-day event over several days (DTEND, or DURATION, is
            // the day after its last) is on each of its later days that
            // the calendar stores as well.
            const icaltimetype end = kind == ICAL_VEVENT_COMPONENT && icaltime_is_date(start)
                                         ? icalcomponent_get_dtend(c)
                                         : icaltime_null_time();
            if (!mRange.isEmpty() && !icaltime_is_null_time(end) && icaltime_is_date(end)) {
                const QDate last = QDate(end.year, end.month, end.day).addDays(-1);
                const QDate first = std::max(date.addDays(1), KeyToDate(mRange.firstYm * 100 + 1));
                const QDate stored = KeyToDate(mRange.lastYm * 100 + 1);
                const QDate until = std::min(last, stored.addDays(stored.daysInMonth() - 1));
                for (QDate d = first; d.isValid() && d <= until; d = d.addDays(1))
                    byDay[DayKey(d)].append(item);
            }
        }
    }

    ReadResult result;
    for (auto it = byDay.begin(); it != byDay.end(); ++it) {
        QList<Item>& items = it.value();
        std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return a.timed != b.timed ? !a.timed : a.timed && a.time < b.time;
        });
        QStringList texts;
        for (const Item& item : items)
            texts << item.text;
        DayRow day;
        day.key = it.key();
        day.week = WeekOfKey(day.key);
        day.text = texts.join(QStringLiteral("\r\n"));
        result.file.days.append(std::move(day));
    }
    return result;
}
