#pragma once

#include "exchange/DayWriter.h"

// "JSON", lossless: the format's name and version, the stored range, then
// every exported day with its key, day of the week, workday flag (true,
// false or null) and entry exactly as stored (null when missing), one day
// per line:
//
//   {"format":"zedu-diary","version":1,"range":{"first":202612,"last":203112},
//   "days":[
//   {"key":20261207,"weekday":1,"workday":true,"text":"会議\r\n買い物"},
//   ...
//   ]}
class JsonWriter final : public DayWriter
{
public:
    static constexpr const char* kFormatName = "zedu-diary";
    static constexpr int kVersion = 1;

    explicit JsonWriter(QIODevice& device) : mOut(device) {}
    void begin(const ExportInfo& info) override;
    bool write(const DayRow& day) override;
    void finish() override;

    // A JSON string literal of `text`, quotes included.
    static QByteArray StringLiteral(const QString& text);

private:
    OutputBuffer mOut;
    bool mFirst = true;
};
