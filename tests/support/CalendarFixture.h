#pragma once

#include <QString>

// Builds calendar files for tests with plain SQL, independent of the store's
// own code: table Master with one record per day of the months `firstYm` to
// `lastYm` (year-month numbers), Saturdays and Sundays as holidays, no
// entries. Returns false when the file could not be written.
bool MakeCalendarFile(const QString& path, int firstYm, int lastYm);

// Reads one column of one day straight from the file; an invalid QVariant
// when the day is not stored.
QVariant ReadDayField(const QString& path, int dayKey, const QString& column);
// Writes the entry of one day straight into the file.
bool WriteDayEntry(const QString& path, int dayKey, const QString& entry);
