#pragma once

#include <QList>
#include <QString>

class DiaryTally;

// A day of an earlier year with the same month and day.
struct PastDay
{
    int key = 0;
    int week = 0;
    int yearsAgo = 0;
    // The 28th shown for a 29 February, in a year without one.
    bool insteadOf29 = false;
    // The first line of the entry with anything but white space on it,
    // without the white space around it.
    QString firstLine;

    bool operator==(const PastDay&) const = default;
};

// The written days of the same month and day as `key` in every earlier
// stored year, newest first; a year whose day is not written is left out.
// For 29 February the 28th stands in for it in years without one.
QList<PastDay> PastDaysOf(const DiaryTally& tally, int key);

// The first line of `text` with anything but white space on it, trimmed.
QString FirstWrittenLine(const QString& text);
