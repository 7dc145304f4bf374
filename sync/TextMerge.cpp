#include "sync/TextMerge.h"

#include "sync/Diff3.h"
#include "sync/TextLines.h"

namespace {

// True when `wide` holds the lines of `narrow` in their order plus only lines
// that `base` does not hold: `wide` is `narrow` with lines added. Where
// `narrow` took every line of a non-empty base away, any other text of `wide`
// may just as well be a change of what `narrow` deleted: no.
bool AddsTo(const QStringList& wide, const QStringList& narrow, const QStringList& base)
{
    if (narrow.isEmpty() && !base.isEmpty())
        return false;
    qsizetype next = 0;
    for (const QString& line : wide) {
        if (next < narrow.size() && line == narrow.at(next))
            ++next;
        else if (base.contains(line))
            return false;
    }
    return next == narrow.size();
}

// The same without a base: any line may be new.
bool AddsTo(const TextLines& wide, const TextLines& narrow)
{
    return AddsTo(wide.lines, narrow.lines, {}) &&
           (wide.lines.size() > narrow.lines.size() || wide.finalBreak || !narrow.finalBreak);
}

// Where a side changed a stretch of the base: base lines [from, to) became
// the side's lines [from, side.size() - (base.size() - to)). What the side
// kept at the start and at the end of the stretch is left out.
struct Change
{
    qsizetype from = 0;
    qsizetype to = 0;
};

Change ChangeOf(const QStringList& side, const QStringList& base)
{
    qsizetype from = 0;
    while (from < side.size() && from < base.size() && side.at(from) == base.at(from))
        ++from;
    qsizetype kept = 0;
    while (kept < side.size() - from && kept < base.size() - from &&
           side.at(side.size() - 1 - kept) == base.at(base.size() - 1 - kept))
        ++kept;
    return {from, base.size() - kept};
}

// Both changes applied to `base`; `first` lies before `second`.
QStringList BothApplied(const QStringList& base, const QStringList& first, Change firstChange,
                        const QStringList& second, Change secondChange)
{
    const auto changed = [&](const QStringList& side, Change change) {
        return side.mid(change.from, side.size() - (base.size() - change.to) - change.from);
    };
    QStringList lines = base.mid(0, firstChange.from);
    lines << changed(first, firstChange);
    lines << base.mid(firstChange.to, secondChange.from - firstChange.to);
    lines << changed(second, secondChange);
    lines << base.mid(secondChange.to);
    return lines;
}

// A stretch both sides changed, resolved when their changes do not overlap:
// libgit2 counts changes to neighbouring lines, and lines inserted at the
// same place, as one conflict. Inserted at the same place, ours come first.
std::optional<QStringList> ChangesApart(const Diff3Chunk& chunk)
{
    const Change ours = ChangeOf(chunk.ours, chunk.base);
    const Change theirs = ChangeOf(chunk.theirs, chunk.base);
    if (ours.to <= theirs.from)
        return BothApplied(chunk.base, chunk.ours, ours, chunk.theirs, theirs);
    if (theirs.to <= ours.from)
        return BothApplied(chunk.base, chunk.theirs, theirs, chunk.ours, ours);
    return std::nullopt;
}

// Three-way choice of one value.
bool MergedFlag(bool base, bool ours, bool theirs)
{
    return ours == theirs ? ours : ours != base ? ours : theirs;
}

// The lines both share at the start, once; then ours' rest, the divider,
// theirs' rest.
TextLines BothKept(const QStringList& ours, const QStringList& theirs, const QString& theirsLabel,
                   bool finalBreak)
{
    qsizetype shared = 0;
    while (shared < ours.size() && shared < theirs.size() && ours.at(shared) == theirs.at(shared))
        ++shared;
    TextLines both;
    both.lines = ours;
    both.lines << MergeDivider(theirsLabel);
    both.lines << theirs.sliced(shared);
    both.finalBreak = finalBreak;
    return both;
}

} // namespace

TextMerge MergeText(const std::optional<QString>& base, const QString& ours, const QString& theirs,
                    const QString& theirsLabel)
{
    if (ours == theirs)
        return {ours, TextOutcome::Same};
    if (base && *base == theirs)
        return {ours, TextOutcome::Ours};
    if (base && *base == ours)
        return {theirs, TextOutcome::Theirs};

    const TextLines oursLines = TextLines::split(ours);
    const TextLines theirsLines = TextLines::split(theirs);

    if (!base) {
        if (AddsTo(oursLines, theirsLines))
            return {ours, TextOutcome::Ours};
        if (AddsTo(theirsLines, oursLines))
            return {theirs, TextOutcome::Theirs};
        const TextLines both =
            BothKept(oursLines.lines, theirsLines.lines, theirsLabel, theirsLines.finalBreak);
        return {both.join(MergedLineBreak({&oursLines, &theirsLines})), TextOutcome::Conflict};
    }

    const TextLines baseLines = TextLines::split(*base);
    const QString lineBreak = MergedLineBreak({&baseLines, &oursLines, &theirsLines});
    const bool finalBreak =
        MergedFlag(baseLines.finalBreak, oursLines.finalBreak, theirsLines.finalBreak);

    // Ours' and theirs' versions of the whole entry: the same wherever a
    // stretch needs no choice or is resolved by the rules, different only in
    // the overlaps.
    QStringList oursVersion;
    QStringList theirsVersion;
    bool overlap = false;
    for (const Diff3Chunk& chunk : Diff3(baseLines.lines, oursLines.lines, theirsLines.lines)) {
        std::optional<QStringList> resolved;
        if (!chunk.conflict)
            resolved = chunk.lines;
        else if (AddsTo(chunk.theirs, chunk.ours, chunk.base))
            resolved = chunk.theirs;
        else if (AddsTo(chunk.ours, chunk.theirs, chunk.base))
            resolved = chunk.ours;
        else
            resolved = ChangesApart(chunk);
        if (resolved) {
            oursVersion << *resolved;
            theirsVersion << *resolved;
        } else {
            overlap = true;
            oursVersion << chunk.ours;
            theirsVersion << chunk.theirs;
        }
    }

    if (overlap) {
        const TextLines both = BothKept(oursVersion, theirsVersion, theirsLabel, finalBreak);
        return {both.join(lineBreak), TextOutcome::Conflict};
    }
    TextLines merged;
    merged.lines = oursVersion;
    merged.finalBreak = finalBreak;
    // The rules may have taken one side whole.
    if (merged.sameLines(oursLines))
        return {ours, TextOutcome::Ours};
    if (merged.sameLines(theirsLines))
        return {theirs, TextOutcome::Theirs};
    return {merged.join(lineBreak), TextOutcome::Merged};
}

QString MergeDivider(const QString& label)
{
    return QStringLiteral("――― 別のコンピューターで書かれた内容（%1）―――").arg(label);
}

QString MergeLabel(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}
