#include "sync/DayMerge.h"

DayMerge MergeDay(const std::optional<DayValue>& base, const DayValue& ours, const DayValue& theirs,
                  MergeInto into, const QString& theirsLabel)
{
    const DayValue& target = into == MergeInto::Ours ? ours : theirs;
    const TextMerge text = MergeText(base ? std::optional<QString>(base->text) : std::nullopt,
                                     ours.text, theirs.text, theirsLabel);
    DayMerge merge;
    merge.text = text.outcome;
    merge.day.text = text.text;
    if (ours.workday == theirs.workday) {
        merge.day.workday = ours.workday;
    } else if (base && base->workday == theirs.workday) {
        merge.day.workday = ours.workday;
    } else if (base && base->workday == ours.workday) {
        merge.day.workday = theirs.workday;
    } else {
        merge.day.workday = target.workday;
        merge.kindConflict = true;
    }
    merge.textChanged = merge.day.text != target.text;
    merge.kindChanged = merge.day.workday != target.workday;
    return merge;
}
