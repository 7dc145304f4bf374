#pragma once

#include "exchange/DayWriter.h"

// "CSV" after RFC 4180: UTF-8 with a byte-order mark, CR LF between records,
// the header 日付,曜日,平日,内容 and the stored values: the day key, the
// day of the week 0-6, the workday flag 1 or 0 (an empty field for a missing
// flag) and the entry, always quoted, its line breaks kept inside the field.
// A missing entry is an empty field without quotes.
class CsvWriter final : public DayWriter
{
public:
    explicit CsvWriter(QIODevice& device) : mOut(device) {}
    void begin(const ExportInfo& info) override;
    bool write(const DayRow& day) override;
    void finish() override { mOut.flush(); }

    // The entry as a quoted field.
    static QByteArray QuotedField(const QString& text);

private:
    OutputBuffer mOut;
};
