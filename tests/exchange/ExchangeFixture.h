#pragma once

#include "exchange/ExportJob.h"
#include "platform/Globals.h"
#include "store/Engine.h"
#include "tests/support/CalendarFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <libical/ical.h>

#include <functional>
#include <memory>

// Every column of every day exactly as stored: its type and its bytes.
inline QList<QVariantList> StoredRows(const QString& path)
{
    return SqlPeek(path).rows(QStringLiteral(
        "SELECT 日付, typeof(曜日), 曜日, typeof(平日), quote(平日), typeof(内容), hex(内容) "
        "FROM Master ORDER BY 日付"));
}

// Sets a day's flag and entry straight in the file; a null QVariant stores
// NULL.
inline bool SetDay(const QString& path, int key, const QVariant& workday, const QVariant& text)
{
    int affected = 0;
    return SqlPeek(path).exec(QStringLiteral("UPDATE Master SET 平日 = ?, 内容 = ? WHERE 日付 = ?"),
                              {workday, text, key}, &affected) &&
           affected == 1;
}

// What libical's own parser finds wrong in an iCalendar file: its parse
// errors and the restriction check's; empty when it reads cleanly.
inline QString ICalendarFaults(const QByteArray& bytes)
{
    const std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> root(
        icalparser_parse_string(bytes.constData()), icalcomponent_free);
    if (!root)
        return QStringLiteral("not parsed");
    QStringList faults;
    std::function<void(icalcomponent*)> collect = [&](icalcomponent* c) {
        for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
             p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY))
            faults << QString::fromUtf8(icalproperty_get_xlicerror(p));
        for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); child;
             child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
            collect(child);
    };
    collect(root.get());
    if (faults.isEmpty() && icalrestriction_check(root.get()) != 1) {
        faults << QStringLiteral("restriction check");
        collect(root.get());
    }
    return faults.join(QStringLiteral("; "));
}

// Exports the calendar at gDataPath, opened for reading only. Every
// iCalendar file written is read back by libical.
inline ExportOutcome ExportCalendar(ExportFormat format, const QString& target,
                                    const DaySelection& selection, ExportInfo info = {},
                                    const ExportProgress& progress = nullptr)
{
    Database db;
    db.openForReading(gDataPath);
    ExportRequest request;
    request.format = format;
    request.target = target;
    request.selection = selection;
    if (!info.stamp.isValid())
        info.stamp = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    request.info = info;
    const ExportOutcome outcome = RunExport(db, request, progress);
    if (format == ExportFormat::ICalendar && outcome.days > 0 && !outcome.cancelled) {
        QFile written(target);
        const QString faults = written.open(QIODevice::ReadOnly)
                                   ? ICalendarFaults(written.readAll())
                                   : QStringLiteral("missing");
        [&] {
            QVERIFY2(faults.isEmpty(), qPrintable(faults));
        }();
    }
    return outcome;
}

inline DaySelection Months(int firstYm, int lastYm, bool entriesOnly = false)
{
    return DaySelection{firstYm, lastYm, entriesOnly, {}};
}

// The names in a folder, hidden ones included.
inline QStringList FolderNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}
