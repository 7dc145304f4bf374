#pragma once

#include <QList>
#include <QString>

#include <optional>

// The formats the diary can be written in, with the names the window and the
// command line use for them.
enum class ExportFormat
{
    Text,       // one UTF-8 file, a heading line per day
    TextPerDay, // a folder with one YYYY-MM-DD.txt per day with an entry
    Markdown,
    Csv,
    Json,      // lossless: brought back by the import as stored
    ICalendar, // written and checked with libical
    Pdf        // the printed pages
};

// Every format, in the order the export window lists them.
const QList<ExportFormat>& ExportFormats();

// The name shown in the export window ("テキスト", "CSV", ...).
QString FormatCaption(ExportFormat format);
// The name on the command line ("text", "text-per-day", "csv", ...).
QString FormatName(ExportFormat format);
std::optional<ExportFormat> FormatFromName(const QString& name);
// The format a file name's suffix stands for (.txt, .md, .csv, .json, .ics,
// .pdf); std::nullopt for any other.
std::optional<ExportFormat> FormatFromFileName(const QString& fileName);
// The file dialog's filter ("CSV ファイル (*.csv)"); empty for the folder
// format.
QString FormatFilter(ExportFormat format);
// The suffix without the dot; empty for the folder format.
QString FormatSuffix(ExportFormat format);
// True for the format written as a folder of files.
inline bool WritesFolder(ExportFormat format)
{
    return format == ExportFormat::TextPerDay;
}
