#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct icalcomponent_impl;

// One day as iCalendar shows it: its entry, and the name of its holiday
// event (empty: none).
struct ICalendarDay
{
    int key = 0;
    std::optional<QString> entry;
    QString holiday;
};

// Makes the text of the days' components with libical, which builds each
// component and writes it, folding lines at 75 octets. Safe to call from
// several threads at once: each call builds components of its own.
//
// Which properties a component has, and how often, follows from this code
// alone, never from the entries: libical's restriction check, which costs
// more than everything else together, judges the first component of each
// shape (its kind and its properties in order), inside the calendar the way
// a reader sees it.
class ICalendarComponents
{
public:
    // `calendar` is the VCALENDAR the components belong to (its own
    // properties only); it must outlive this object.
    ICalendarComponents(icalcomponent_impl* calendar, const QDateTime& stamp, bool events);
    ICalendarComponents(const ICalendarComponents&) = delete;
    ICalendarComponents& operator=(const ICalendarComponents&) = delete;

    // The components of the days, one after another; throws ExchangeError
    // when a shape fails the restriction check.
    QByteArray render(const std::vector<ICalendarDay>& days) const;

    // The shape the restriction check is run for.
    static std::string ShapeOf(icalcomponent_impl* component);

private:
    icalcomponent_impl* allDay(bool event, int key, const QByteArray& uid) const;
    // Checks the component's shape when it is new; frees it and throws when
    // it fails.
    void check(icalcomponent_impl* component) const;
    void append(icalcomponent_impl* component, QByteArray& out) const;

    icalcomponent_impl* mCalendar;
    time_t mStamp;
    bool mEvents;
    mutable std::mutex mCheckLock;
    mutable std::set<std::string> mCheckedShapes;
};
