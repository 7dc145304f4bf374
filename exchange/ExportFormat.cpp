#include "exchange/ExportFormat.h"

#include <QFileInfo>

namespace {

struct FormatInfo
{
    ExportFormat format;
    const char16_t* caption;
    const char* name;
    const char* suffix;
    const char16_t* filter;
};

const FormatInfo kFormats[] = {
    {ExportFormat::Text, u"テキスト", "text", "txt", u"テキスト ファイル (*.txt)"},
    {ExportFormat::TextPerDay, u"テキスト（1日1ファイル）", "text-per-day", "", u""},
    {ExportFormat::Markdown, u"Markdown", "markdown", "md", u"Markdown ファイル (*.md)"},
    {ExportFormat::Csv, u"CSV", "csv", "csv", u"CSV ファイル (*.csv)"},
    {ExportFormat::Json, u"JSON", "json", "json", u"JSON ファイル (*.json)"},
    {ExportFormat::ICalendar, u"iCalendar", "ics", "ics", u"iCalendar ファイル (*.ics)"},
    {ExportFormat::Pdf, u"PDF", "pdf", "pdf", u"PDF ファイル (*.pdf)"},
};

const FormatInfo& info(ExportFormat format)
{
    for (const FormatInfo& i : kFormats)
        if (i.format == format)
            return i;
    return kFormats[0];
}

} // namespace

const QList<ExportFormat>& ExportFormats()
{
    static const QList<ExportFormat> all = [] {
        QList<ExportFormat> list;
        for (const FormatInfo& i : kFormats)
            list.append(i.format);
        return list;
    }();
    return all;
}

QString FormatCaption(ExportFormat format)
{
    return QString::fromUtf16(info(format).caption);
}

QString FormatName(ExportFormat format)
{
    return QLatin1String(info(format).name);
}

std::optional<ExportFormat> FormatFromName(const QString& name)
{
    for (const FormatInfo& i : kFormats)
        if (name == QLatin1String(i.name))
            return i.format;
    return std::nullopt;
}

std::optional<ExportFormat> FormatFromFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("markdown"))
        return ExportFormat::Markdown;
    if (suffix == QLatin1String("ical"))
        return ExportFormat::ICalendar;
    for (const FormatInfo& i : kFormats)
        if (*i.suffix && suffix == QLatin1String(i.suffix))
            return i.format;
    return std::nullopt;
}

QString FormatFilter(ExportFormat format)
{
    return QString::fromUtf16(info(format).filter);
}

QString FormatSuffix(ExportFormat format)
{
    return QLatin1String(info(format).suffix);
}
