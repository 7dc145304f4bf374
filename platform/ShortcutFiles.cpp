#include "platform/ShortcutFiles.h"

#include "platform/basMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

fs::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

FileProblem problem(FileProblem::Step step, const QString& path, const std::error_code& error)
{
    return FileProblem{step, QDir::toNativeSeparators(path), FileErrorCause(error)};
}

} // namespace

QString FileErrorCause(const std::error_code& error)
{
    const std::error_condition c = error.default_error_condition();
    if (c == std::errc::permission_denied || c == std::errc::operation_not_permitted)
        return QStringLiteral("アクセスする権限がありません。");
    if (c == std::errc::read_only_file_system)
        return QStringLiteral("読み取り専用の場所です。");
    if (c == std::errc::no_space_on_device)
        return QStringLiteral("ディスクの空き容量が足りません。");
#ifdef EDQUOT
    if (c.category() == std::generic_category() && c.value() == EDQUOT)
        return QStringLiteral("ディスクの使用量の上限に達しています。");
#endif
    if (c == std::errc::device_or_resource_busy || c == std::errc::text_file_busy)
        return QStringLiteral("ファイルが使用中です。");
    if (c == std::errc::no_such_file_or_directory)
        return QStringLiteral("ファイルまたはフォルダーが見つかりません。");
    if (c == std::errc::not_a_directory || c == std::errc::file_exists)
        return QStringLiteral("フォルダーの代わりに同じ名前のファイルがあります。");
    if (c == std::errc::is_a_directory)
        return QStringLiteral("同じ名前のフォルダーがあります。");
    if (c == std::errc::filename_too_long)
        return QStringLiteral("名前が長すぎます。");
    return QString::fromLocal8Bit(error.message()) + QStringLiteral("。");
}

QString FileProblemText(const FileProblem& problem)
{
    QString step;
    switch (problem.step) {
    case FileProblem::CreateFolder:
        step = QStringLiteral("フォルダー「%1」を作成できません。");
        break;
    case FileProblem::Read:
        step = QStringLiteral("「%1」を読み込めません。");
        break;
    case FileProblem::Write:
        step = QStringLiteral("「%1」を作成できません。");
        break;
    case FileProblem::Remove:
        step = QStringLiteral("「%1」を削除できません。");
        break;
    }
    return step.arg(problem.path) + QLatin1Char('\r') + problem.cause;
}

std::optional<FileProblem> CopyShortcut(const QString& source, const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    const fs::path from = fsPath(source);
    const fs::path to = fsPath(target);
    std::error_code error;

    fs::create_directories(fsPath(folder), error);
    if (error)
        return problem(FileProblem::CreateFolder, folder, error);

    // Copying a file onto itself would first empty it.
    if (fs::equivalent(from, to, error))
        return std::nullopt;

    // The copy is made beside the target under a hidden name and then
    // renamed over it: a target that was there stays whole until the end.
    const fs::path part = fsPath(folder + QStringLiteral("/.") + QFileInfo(target).fileName() +
                                 QStringLiteral(".part"));
    std::error_code copyError;
    if (!fs::copy_file(from, part, fs::copy_options::overwrite_existing, copyError)) {
        fs::remove(part, error);
        // The error alone does not tell whether reading or writing failed.
        QFile readable(source);
        if (!readable.open(QIODevice::ReadOnly))
            return problem(FileProblem::Read, source, copyError);
        return problem(FileProblem::Write, target, copyError);
    }
    fs::permissions(part,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
    if (!error)
        fs::rename(part, to, error);
    if (error) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return problem(FileProblem::Write, target, error);
    }
    return std::nullopt;
}

std::optional<FileProblem> DeleteShortcut(const QString& path)
{
    if (!FileExists(path))
        return std::nullopt;
    std::error_code error;
    fs::remove(fsPath(path), error);
    if (error)
        return problem(FileProblem::Remove, path, error);
    return std::nullopt;
}
