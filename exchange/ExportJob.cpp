#include "exchange/ExportJob.h"

#include "exchange/CsvWriter.h"
#include "exchange/ExchangeError.h"
#include "exchange/FileFailure.h"
#include "exchange/ICalendarWriter.h"
#include "exchange/JsonWriter.h"
#include "exchange/PdfWriter.h"
#include "exchange/TextWriters.h"
#include "store/clsMaster.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

namespace {

const QRegularExpression& dayFileName()
{
    static const QRegularExpression name(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}\\.txt$"));
    return name;
}

std::unique_ptr<DayWriter> writerFor(ExportFormat format, QIODevice& device,
                                     const ExportProgress& progress)
{
    switch (format) {
    case ExportFormat::Text:
        return std::make_unique<TextWriter>(device);
    case ExportFormat::Markdown:
        return std::make_unique<MarkdownWriter>(device);
    case ExportFormat::Csv:
        return std::make_unique<CsvWriter>(device);
    case ExportFormat::Json:
        return std::make_unique<JsonWriter>(device);
    case ExportFormat::ICalendar:
        return std::make_unique<ICalendarWriter>(device);
    case ExportFormat::Pdf:
        return std::make_unique<PdfWriter>(device, progress);
    case ExportFormat::TextPerDay:
        break;
    }
    return nullptr;
}

// Moves the files of a finished per-day export into the target folder.
void moveInto(QTemporaryDir& written, const QString& target)
{
    if (!QFileInfo::exists(target)) {
        // A new folder: the written one takes its name in one step.
        if (!QDir().rename(written.path(), target))
            throw ExchangeError(QStringLiteral("フォルダーを作れませんでした。"));
        written.setAutoRemove(false);
        return;
    }
    if (!QFileInfo(target).isDir())
        throw ExchangeError(QStringLiteral("書き出し先と同じ名前のファイルがあります。"));
    const QStringList names = QDir(written.path()).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names)
        if (!ReplaceFile(written.filePath(name), target + QLatin1Char('/') + name, false))
            throw ExchangeError(QStringLiteral("「%1」を書き出し先に置けませんでした。").arg(name));
}

// "𠮷（U+20BB7）", "セ゚（U+30BB U+309A）".
QString namedWithCodes(const QString& characters)
{
    QStringList codes;
    for (const char32_t c : characters.toUcs4())
        codes << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    return characters + QStringLiteral("（") + codes.join(QLatin1Char(' ')) + QStringLiteral("）");
}

} // namespace

QString UnprintableText(const QString& characters)
{
    QStringList named;
    for (const char32_t c : characters.toUcs4())
        named << namedWithCodes(QString::fromUcs4(&c, 1));
    return QStringLiteral("次の文字は印刷できませんでした: ") + named.join(QStringLiteral("、"));
}

QString UntoldText(const QStringList& characters)
{
    QStringList named;
    for (const QString& sequence : characters)
        named << namedWithCodes(sequence);
    return QStringLiteral("次の文字は印刷しましたが、検索やコピーはできません: ") +
           named.join(QStringLiteral("、"));
}

bool ExportWouldReplace(ExportFormat format, const QString& target)
{
    const QFileInfo info(target);
    if (!WritesFolder(format))
        return info.exists();
    if (!info.isDir())
        return info.exists();
    const QStringList names = QDir(target).entryList(QDir::Files);
    return std::any_of(names.begin(), names.end(),
                       [](const QString& name) { return dayFileName().match(name).hasMatch(); });
}

ExportOutcome RunExport(Database& db, const ExportRequest& request, const ExportProgress& progress)
{
    ExportInfo info = request.info;
    info.stored = ReadStoredRange(db);
    const DaySelection& chosen = request.selection;
    const QSet<int> chosenKeys(chosen.keys.begin(), chosen.keys.end());
    if (!chosen.keys.isEmpty()) {
        const auto [low, high] = std::minmax_element(chosen.keys.begin(), chosen.keys.end());
        info.firstYm = *low / 100;
        info.lastYm = *high / 100;
    } else {
        info.firstYm = chosen.firstYm;
        info.lastYm = chosen.lastYm;
    }

    // What is read: the holidays of iCalendar need the days without an
    // entry, and the monthly pages every day of their months. Days read
    // beyond the selection are passed on without their entries.
    DaySelection read = chosen;
    const bool monthly =
        request.format == ExportFormat::Pdf && info.print.layout == PageLayout::Monthly;
    if (request.format == ExportFormat::ICalendar && info.icsHolidays)
        read.entriesOnly = false;
    if (monthly)
        read = DaySelection{info.firstYm, info.lastYm, false, {}};
    const bool widened = monthly || read.entriesOnly != chosen.entriesOnly;
    auto selected = [&](const DayRow& day) {
        if (!chosen.keys.isEmpty())
            return chosenKeys.contains(day.key);
        return !chosen.entriesOnly || day.hasEntry();
    };

    ExportOutcome outcome;
    const int total = CountDayRows(db, read);

    QSaveFile file;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<DayWriter> writer;
    if (WritesFolder(request.format)) {
        const QString parent = QFileInfo(request.target).absolutePath();
        if (!QFileInfo(parent).isDir())
            throw ExchangeError(QStringLiteral("書き出し先のフォルダー「%1」がありません。")
                                    .arg(QDir::toNativeSeparators(parent)));
        folder = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/.zedu-export-XXXXXX"));
        if (!folder->isValid())
            throw ExchangeError(QStringLiteral("書き出し先にファイルを作れませんでした。（") +
                                folder->errorString() + QStringLiteral("）"));
        writer = std::make_unique<DayFilesWriter>(folder->path());
    } else {
        file.setFileName(request.target);
        const bool replacing = QFileInfo::exists(request.target);
        // Unbuffered: the writers hand over large pieces, and a failed
        // write is then told with the system's reason (QSaveFile's own
        // buffer words a full disk as an unknown error).
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw ExchangeError(
                FileFailureText(QStringLiteral("書き出し先にファイルを作れませんでした。"), file));
        if (!replacing)
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        writer = writerFor(request.format, file, progress);
    }

    writer->begin(info);
    int done = 0;
    const bool pdf = request.format == ExportFormat::Pdf;
    const bool complete = ReadDayRows(db, read, [&](DayRow&& day) {
        const bool isChosen = selected(day);
        if (!isChosen) {
            if (!widened)
                return true;
            day.text.reset();
        }
        // A day counts when something of it went into the file: the days
        // of the monthly pages only when chosen, the holidays of iCalendar
        // always.
        if (writer->write(day) && (isChosen || !monthly))
            ++outcome.days;
        ++done;
        return pdf || !progress || progress(done, total);
    });
    if (!complete) {
        outcome.cancelled = true;
        return outcome;
    }
    writer->finish();
    if (pdf) {
        const auto* pages = static_cast<const PdfWriter*>(writer.get());
        outcome.pages = pages->pages();
        outcome.unprintable = pages->unprintable();
        outcome.untold = pages->untold();
        if (pages->cancelled()) {
            outcome.cancelled = true;
            return outcome;
        }
    }
    // Nothing to write: the target stays as it was, and no file is made.
    if (outcome.days == 0)
        return outcome;
    if (folder) {
        moveInto(*folder, request.target);
        return outcome;
    }
    // QSaveFile keeps the reason of a failed flush, but words one inside
    // commit() only as an unknown error.
    if (!file.flush())
        throw ExchangeError(
            FileFailureText(QStringLiteral("ファイルに書き込めませんでした。"), file));
    if (!file.commit())
        throw ExchangeError(
            FileFailureText(QStringLiteral("書き出し先にファイルを置けませんでした。"), file));
    return outcome;
}
