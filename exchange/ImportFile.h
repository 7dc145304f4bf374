#pragma once

#include "store/DayRows.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What a reader found in a file: the days in key order, each day once.
struct ImportFile
{
    QList<DayRow> days;
    // The file states workday flags (JSON, CSV with the column 平日).
    bool hasWorkdays = false;
    // The character encoding read, when the format lets it vary (CSV):
    // "UTF-8" or "Shift_JIS（CP932）"; empty otherwise.
    QString encoding;
};

// A reader's answer: the days, or the reason the file cannot be read, in
// Japanese, naming the line or the field.
struct ReadResult
{
    ImportFile file;
    QString error;
    bool ok() const { return error.isEmpty(); }
    static ReadResult failure(const QString& error)
    {
        ReadResult r;
        r.error = error;
        return r;
    }
};

enum class ImportFormat
{
    Json,
    Csv,
    ICalendar
};

// The format of a file: by its suffix (.json, .csv, .ics, .ical), otherwise
// by its first characters.
ImportFormat DetectImportFormat(const QString& fileName, const QByteArray& bytes);

// The day of the week of a real day key (0 = Sunday), -1 for a key that
// names no day.
int WeekOfKey(qint64 key);

// "12行目: UTF-8 として読めない文字があります。", naming the line of the
// first byte of `bytes` that is no UTF-8.
QString NotUtf8Text(const QByteArray& bytes);

// Reads `path` with the reader of its format; `stored` is the calendar's
// stored range (see ICalendarReader).
ReadResult ReadImportFile(const QString& path, const StoredRange& stored = {});
