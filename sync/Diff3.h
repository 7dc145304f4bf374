#pragma once

#include <QList>
#include <QStringList>

// One stretch of a three-way merge of lines: lines that need no choice (both
// sides agree, or only one side changed them), or a stretch that both sides
// changed, differently, with each side's lines and the base's.
struct Diff3Chunk
{
    bool conflict = false;
    QStringList lines; // without a conflict
    QStringList ours;
    QStringList base;
    QStringList theirs;
};

// The three-way merge of libgit2 (git_merge_file, diff3 style) over lines
// given without their breaks, in order. A stretch that both sides changed
// the same way counts as agreed; a change of one side that touches or
// overlaps a change of the other is one conflicting stretch, never split
// further. Throws MergeError when libgit2 fails.
QList<Diff3Chunk> Diff3(const QStringList& base, const QStringList& ours,
                        const QStringList& theirs);
