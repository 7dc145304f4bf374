#pragma once

#include "exchange/DayWriter.h"
#include "exchange/ExportFormat.h"
#include "store/DayRows.h"

#include <QString>

#include <functional>

class Database;

struct ExportRequest
{
    ExportFormat format = ExportFormat::Text;
    // The file, or the folder of the per-day format.
    QString target;
    DaySelection selection;
    // The formats' options (iCalendar, PDF) and the time stamp; the stored
    // range and the months are filled in by the export.
    ExportInfo info;
};

struct ExportOutcome
{
    // The days that went into the file: every chosen day of the text
    // formats, CSV, JSON and the daily pages, the chosen days with an entry
    // of the per-day files, the days with an entry or a holiday event of
    // iCalendar. None: nothing was written and the target is as it was.
    int days = 0;
    int pages = 0; // PDF: the pages written
    // PDF: the characters no font could draw (PrintLayout::unprintable()).
    QString unprintable;
    // PDF: the characters drawn that could not go into the text layer
    // (PdfTextLayer::untold()).
    QStringList untold;
    bool cancelled = false;
};

// "次の文字は印刷できませんでした: …", naming each character and its code.
QString UnprintableText(const QString& characters);
// "次の文字は印刷しましたが、検索やコピーはできません: …", naming each
// character (or sequence drawn as one) and its codes.
QString UntoldText(const QStringList& characters);

// Told the work done and its total as it goes (days, or pages' units for
// PDF); returns false to cancel.
using ExportProgress = std::function<bool(int done, int total)>;

// Writes the selected days of the calendar open in `db` to the target. The
// file is written under a temporary name beside the target and takes the
// target's name (replacing a file there) only when complete; the per-day
// files are written into a temporary folder and moved in at the end. A
// cancel or a failure leaves no file behind and the target as it was. A new
// file is readable by its owner only, like the calendar.
//
// Throws ExchangeError when a file cannot be written, EngineError when the
// calendar cannot be read.
ExportOutcome RunExport(Database& db, const ExportRequest& request,
                        const ExportProgress& progress = nullptr);

// True when exporting to `target` would replace something: the file exists,
// or the folder holds files named like the per-day files.
bool ExportWouldReplace(ExportFormat format, const QString& target);
