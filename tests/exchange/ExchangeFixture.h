#pragma once

#include "exchange/ExportJob.h"
#include "platform/Globals.h"
#include "store/Engine.h"
#include "tests/support/CalendarFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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

// Exports the calendar at gDataPath, opened for reading only.
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
    return RunExport(db, request, progress);
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
