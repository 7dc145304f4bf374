#pragma once

#include "store/Engine.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Days of table Master exactly as stored, for taking the diary out and
// bringing it back. Each read runs on the database it is given: the window
// passes the handle of a FileSession, the command line a file opened for
// reading only.

// One record of table Master: a missing workday flag or entry stays missing.
struct DayRow
{
    int key = 0;  // day key yyyymmdd
    int week = 0; // 0 = Sunday ... 6 = Saturday
    std::optional<bool> workday;
    std::optional<QString> text; // lines separated by CR LF as stored

    // The stored flag says holiday; a missing flag does not.
    bool holiday() const { return workday.has_value() && !*workday; }
    // The entry, or "" when it is missing.
    QString entry() const { return text.value_or(QString()); }
    bool hasEntry() const { return text.has_value() && !text->isEmpty(); }

    bool operator==(const DayRow&) const = default;
};

// The first and last stored month (yyyymm); both 0 for an empty calendar.
struct StoredRange
{
    int firstYm = 0;
    int lastYm = 0;
    bool isEmpty() const { return firstYm == 0; }
};

// Which days a read takes: the days of the months firstYm to lastYm (every
// day, or only those with an entry), or exactly the days of `keys`.
struct DaySelection
{
    int firstYm = 0;
    int lastYm = 0;
    bool entriesOnly = false;
    // When not empty, these days (in any order; read in key order) instead
    // of the months above. Days that are not stored are passed over.
    QList<int> keys;
};

StoredRange ReadStoredRange(Database& db);

// How many stored days a selection takes.
int CountDayRows(Database& db, const DaySelection& selection);

// Hands the selected days to `take` one by one in key order. Stops when
// `take` returns false, and returns false then; true when every day was
// taken.
bool ReadDayRows(Database& db, const DaySelection& selection,
                 const std::function<bool(DayRow&&)>& take);

// The selected days at once.
QList<DayRow> ReadDayRowList(Database& db, const DaySelection& selection);
