#pragma once

#include <QString>

#include <optional>
#include <system_error>

// Copying the program's shortcut into a folder and deleting it again, with
// failures told in the user's terms: which file or folder, and why.

struct FileProblem
{
    enum Step
    {
        CreateFolder, // the target's folder was missing and could not be made
        Read,         // the shortcut to copy could not be read
        Write,        // the copy could not be put in place
        Remove        // the file could not be deleted
    };
    Step step;
    QString path;  // the file or folder the step failed on
    QString cause; // why, one sentence in Japanese
};

// Puts a copy of `source` at `target`, creating the target's folder when
// missing. A file already at `target` is replaced in one step, so that a
// failed copy leaves it as it was. The copy is executable, because desktops
// launch a launcher outside the applications folders only when it is. When
// `target` already is `source` (through a link), nothing is written.
std::optional<FileProblem> CopyShortcut(const QString& source, const QString& target);

// Deletes `path` when it is a file (or a link to one); nothing to delete is
// no problem.
std::optional<FileProblem> DeleteShortcut(const QString& path);

// The line that names the failed step and its path, then the cause.
QString FileProblemText(const FileProblem& problem);

// A short Japanese sentence for a file system error.
QString FileErrorCause(const std::error_code& error);
