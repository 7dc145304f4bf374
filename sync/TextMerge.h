#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Merging two versions of one day's entry, line by line, against the text
// both came from. A pure function: nothing is read, written or asked.
//
// The sides. `ours` is the text of this computer: what this Zedu wrote
// (against a calendar replaced on disk), or the calendar in use (against a
// conflict copy). `theirs` is the text from the other computer: the file that
// replaced the calendar, or the conflict copy. The merged text lists ours
// first; where both are kept, the divider that names the other computer's
// copy (MergeDivider, with the caller's label) stands between them, above
// theirs.
//
// The rules, in order:
// - Both sides hold the same text: that text.
// - Only one side differs from the base: that side, exactly as it is.
// - Without a base: a side that only adds lines to the other (the other's
//   lines are a subsequence of its own; with the same lines, it ends with a
//   line break if the other does) is taken as it is. Other differences keep
//   both.
// - With a base, both changed: the lines are merged against the base
//   (Diff3, libgit2's three-way merge). Changes to different lines join.
//   Within a stretch that libgit2 counts as a conflict (it counts changes to
//   neighbouring lines, and lines inserted at the same place, as one):
//   1. a side whose lines there are the other's plus lines the base did not
//      have is taken (the other computer took this one's text and wrote
//      more, or the other way round);
//   2. changes that do not overlap are both applied: each side's change is
//      what it did not keep of the base's lines at the start and the end of
//      the stretch. Lines both inserted at the same place (both wrote at the
//      end of the entry) come ours first;
//   3. anything else is an overlap.
// - An overlap keeps both: the lines before the first overlap once, then
//   ours' version from there to the end of the entry, the divider, and
//   theirs' version from there to the end. The divider is the only mark, so
//   the other version runs to the end of the entry, where the user can see
//   it end; the part both share ahead of it is not doubled. Other changes
//   after the first overlap are in both versions. To tidy up, the user
//   deletes one version and the divider.
//
// Line breaks: a text taken from one side is that side's text exactly. A
// merged text uses CR LF, or LF alone when every text with a break uses LF
// alone. A line break at the very end is merged on its own (ours' and
// theirs' if they agree, else the one that differs from the base; without a
// base, the one of the side taken, or theirs' when both are kept), so that a
// line typed after it counts as a line added. Whitespace is text like any
// other: nothing is trimmed, and a text of spaces is not empty.

enum class TextOutcome
{
    Same,    // both sides hold the same text
    Ours,    // ours is the result: only ours changed, or it only adds to theirs
    Theirs,  // theirs is the result, the same way
    Merged,  // both changed; their changes joined cleanly
    Conflict // both changed the same lines: both kept, the divider between
};

struct TextMerge
{
    QString text;
    TextOutcome outcome = TextOutcome::Same;

    bool conflicted() const { return outcome == TextOutcome::Conflict; }
    // Both sides' changes are in the text: a day to list among the merged.
    bool bothSides() const
    {
        return outcome == TextOutcome::Merged || outcome == TextOutcome::Conflict;
    }
};

// Throws MergeError when the line merge fails (memory ran out).
TextMerge MergeText(const std::optional<QString>& base, const QString& ours, const QString& theirs,
                    const QString& theirsLabel);

// The line between the two versions: 「――― 別のコンピューターで書かれた内容（label）―――」.
QString MergeDivider(const QString& label);

// A time as the divider names it: 2026/12/08 10:15.
QString MergeLabel(const QDateTime& when);
