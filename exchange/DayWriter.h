#pragma once

#include "exchange/PrintLayout.h"
#include "store/DayRows.h"

#include <QByteArray>
#include <QDateTime>

class QIODevice;

// What a writer needs to know besides the days.
struct ExportInfo
{
    // The calendar's stored range (written into JSON).
    StoredRange stored;
    // The months the export covers (the holidays of iCalendar, the pages of
    // the monthly layout).
    int firstYm = 0;
    int lastYm = 0;
    // When the export was made (DTSTAMP of iCalendar).
    QDateTime stamp;
    // iCalendar: days with an entry as all-day events instead of journal
    // entries, and the public holidays as all-day events.
    bool icsEvents = false;
    bool icsHolidays = false;
    // PDF: the printed pages' layout.
    PrintOptions print;
};

// Writes days in one format: begin, the days in key order, finish. Each
// writer takes plain data and writes bytes; a failing device throws
// ExchangeError.
class DayWriter
{
public:
    virtual ~DayWriter() = default;
    virtual void begin(const ExportInfo&) {}
    // True when something of the day goes into the output (a day without
    // an entry has no file of its own, and no event unless it is a holiday).
    virtual bool write(const DayRow& day) = 0;
    virtual void finish() {}
};

// Bytes gathered and handed to a device in large pieces.
class OutputBuffer
{
public:
    explicit OutputBuffer(QIODevice& device);
    void append(const QByteArray& bytes) { append(bytes.constData(), bytes.size()); }
    void append(const char* data, qsizetype size);
    void append(const QString& text) { append(text.toUtf8()); }
    // Writes what is gathered; throws ExchangeError when the device fails.
    void flush();

private:
    QIODevice& mDevice;
    QByteArray mBytes;
};
