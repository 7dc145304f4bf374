#pragma once

#include "store/DayRows.h"
#include "sync/TextMerge.h"

#include <QString>

#include <optional>

// One day of a calendar as the merge sees it: its entry and its day kind.
struct DayValue
{
    QString text; // lines as stored; a missing entry counts as ""
    // 平日: true workday, false holiday; a missing flag stays missing and
    // differs from both.
    std::optional<bool> workday;

    static DayValue fromRow(const DayRow& row) { return {row.entry(), row.workday}; }
    bool operator==(const DayValue&) const = default;
};

// The side whose calendar receives the merged day: theirs, the file on disk,
// when this Zedu writes its journal back into a calendar replaced under it;
// ours, the calendar in use, when a conflict copy is merged into it.
enum class MergeInto
{
    Ours,
    Theirs
};

struct DayMerge
{
    DayValue day;
    TextOutcome text = TextOutcome::Same;
    // Both sides changed the day kind, differently (without a base: the
    // kinds differ); the kind of the calendar written into stays.
    bool kindConflict = false;
    // What the calendar written into must take: its text, its kind.
    bool textChanged = false;
    bool kindChanged = false;

    bool changed() const { return textChanged || kindChanged; }
};

// Merges one day that both calendars store. The text follows MergeText
// (`theirsLabel` names theirs in the divider); the day kind the same way as
// a whole: the same on both sides, or only one side changed it, that one;
// otherwise the kind of `into`. Throws MergeError.
DayMerge MergeDay(const std::optional<DayValue>& base, const DayValue& ours, const DayValue& theirs,
                  MergeInto into, const QString& theirsLabel);
