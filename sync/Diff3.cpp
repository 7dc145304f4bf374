#include "sync/Diff3.h"

#include "sync/MergeError.h"

#include <git2.h>

#include <algorithm>

namespace {

// libgit2 must be set up once per process before its first use.
class GitLibrary
{
public:
    GitLibrary() { git_libgit2_init(); }
    ~GitLibrary() { git_libgit2_shutdown(); }
    GitLibrary(const GitLibrary&) = delete;
    GitLibrary& operator=(const GitLibrary&) = delete;
};

void EnsureGitLibrary()
{
    static const GitLibrary library;
}

class MergeFileResult
{
public:
    MergeFileResult() = default;
    ~MergeFileResult() { git_merge_file_result_free(&result); }
    MergeFileResult(const MergeFileResult&) = delete;
    MergeFileResult& operator=(const MergeFileResult&) = delete;

    git_merge_file_result result = {};
};

// Every line goes to libgit2 behind one space and ends in LF. Equal lines
// stay equal, no line can end without a break, and a line of the output
// that does not start with the space is one of the merge's own markers,
// whatever runs of < = > | the entries hold.
QByteArray Encode(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += ' ';
        bytes += line.toUtf8();
        bytes += '\n';
    }
    return bytes;
}

git_merge_file_input Input(const QByteArray& bytes)
{
    git_merge_file_input input = GIT_MERGE_FILE_INPUT_INIT;
    input.ptr = bytes.constData();
    input.size = static_cast<size_t>(bytes.size());
    return input;
}

// Where the lines of libgit2's output belong.
enum class Part
{
    Agreed,
    Ours,
    Base,
    Theirs
};

QString LastGitError()
{
    const git_error* error = git_error_last();
    return error != nullptr && error->message != nullptr ? QString::fromUtf8(error->message)
                                                         : QStringLiteral("git_merge_file failed");
}

} // namespace

QList<Diff3Chunk> Diff3(const QStringList& base, const QStringList& ours, const QStringList& theirs)
{
    EnsureGitLibrary();
    const QByteArray baseBytes = Encode(base);
    const QByteArray oursBytes = Encode(ours);
    const QByteArray theirsBytes = Encode(theirs);
    const git_merge_file_input baseInput = Input(baseBytes);
    const git_merge_file_input oursInput = Input(oursBytes);
    const git_merge_file_input theirsInput = Input(theirsBytes);
    git_merge_file_options options = GIT_MERGE_FILE_OPTIONS_INIT;
    // diff3 style shows the base's lines of every conflict, which tells a
    // stretch where both sides only inserted from one where they changed
    // the same lines.
    options.flags = GIT_MERGE_FILE_STYLE_DIFF3;
    MergeFileResult merged;
    if (git_merge_file(&merged.result, &baseInput, &oursInput, &theirsInput, &options) < 0)
        throw MergeError(LastGitError());

    QList<Diff3Chunk> chunks;
    if (merged.result.ptr == nullptr)
        return chunks;
    Part part = Part::Agreed;
    const char* const begin = merged.result.ptr;
    const char* const end = begin + merged.result.len;
    for (const char* line = begin; line < end;) {
        const char* lineEnd = std::find(line, end, '\n');
        if (*line != ' ') {
            // <<<<<<< ours ||||||| base ======= theirs >>>>>>>, each maybe
            // followed by a label and a CR.
            switch (*line) {
            case '<':
                chunks.append(Diff3Chunk{true, {}, {}, {}, {}});
                part = Part::Ours;
                break;
            case '|':
                part = Part::Base;
                break;
            case '=':
                part = Part::Theirs;
                break;
            default:
                part = Part::Agreed;
                break;
            }
        } else {
            const QString text = QString::fromUtf8(line + 1, lineEnd - line - 1);
            if (part == Part::Agreed) {
                if (chunks.isEmpty() || chunks.last().conflict)
                    chunks.append(Diff3Chunk{});
                chunks.last().lines << text;
            } else {
                Diff3Chunk& chunk = chunks.last();
                (part == Part::Ours   ? chunk.ours
                 : part == Part::Base ? chunk.base
                                      : chunk.theirs)
                    << text;
            }
        }
        line = lineEnd + 1;
    }
    return chunks;
}
