#include "sync/ConflictCopyNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// A computer's name as OneDrive puts it after the file's: letters, digits,
// hyphens and underscores, not beginning with a hyphen.
const QString kHost = QStringLiteral("[A-Za-z0-9_][A-Za-z0-9_-]{0,62}");
// This program's own names after "Data-": the time of a backup, then
// anything (a number, "damaged").
const QRegularExpression kOwnName(QStringLiteral("^\\d{8}-\\d{6}(?:-.*)?$"));

} // namespace

std::optional<ConflictCopyNames::Program> ConflictCopyNames::match(const QString& calendarName,
                                                                   const QString& name)
{
    const QFileInfo calendar(calendarName);
    const QString suffix = calendar.suffix();
    const QString ending =
        suffix.isEmpty() ? QString() : QRegularExpression::escape(QLatin1Char('.') + suffix);
    const QString stem =
        QRegularExpression::escape(calendarName.chopped(suffix.isEmpty() ? 0 : suffix.size() + 1));
    const struct
    {
        Program program;
        QString pattern;
    } forms[] = {
        {Program::Syncthing,
         stem + QStringLiteral("\\.sync-conflict-\\d{8}-\\d{6}-[A-Z0-9]{7}") + ending},
        {Program::Nextcloud,
         stem + QStringLiteral(" \\(conflicted copy \\d{4}-\\d{2}-\\d{2} \\d{6}\\)") + ending},
        {Program::Dropbox,
         stem + QStringLiteral(" \\(.+ conflicted copy \\d{4}-\\d{2}-\\d{2}(?: \\(\\d+\\))?\\)") +
             ending},
        {Program::OneDrive, stem + QStringLiteral("-(") + kHost + QStringLiteral(")") + ending},
    };
    for (const auto& form : forms) {
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(form.pattern));
        const QRegularExpressionMatch found = pattern.match(name);
        if (!found.hasMatch())
            continue;
        if (form.program == Program::OneDrive && kOwnName.match(found.captured(1)).hasMatch())
            return std::nullopt;
        return form.program;
    }
    return std::nullopt;
}

QStringList ConflictCopyNames::find(const QString& calendarPath)
{
    const QFileInfo calendar(calendarPath);
    const QDir folder(calendar.absolutePath());
    QStringList copies;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name))
        if (match(calendar.fileName(), name))
            copies << folder.filePath(name);
    return copies;
}
