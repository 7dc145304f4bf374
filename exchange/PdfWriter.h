#pragma once

#include "exchange/DayWriter.h"

#include <functional>

class PdfTextLayer;

// "PDF": the printed pages (PrintLayout) on A4, the fonts embedded, so that
// the text can be searched and copied (PdfTextLayer puts in what Qt's writer
// leaves out). The days are gathered and the pages painted at the end; a
// device that fails to take the bytes throws ExchangeError.
class PdfWriter final : public DayWriter
{
public:
    // `progress` follows the painting: pages' units done and their total;
    // false stops it, and finish() then reports that through cancelled().
    PdfWriter(QIODevice& device, std::function<bool(int, int)> progress = nullptr)
        : mDevice(device), mProgress(std::move(progress))
    {}
    void begin(const ExportInfo& info) override { mInfo = info; }
    bool write(const DayRow& day) override
    {
        mDays.append(day);
        return true;
    }
    void finish() override;

    bool cancelled() const { return mPages < 0; }
    int pages() const { return mPages; }
    // See PrintLayout::unprintable().
    const QString& unprintable() const { return mUnprintable; }
    // See PdfTextLayer::untold().
    const QStringList& untold() const { return mUntold; }

private:
    // The pages as PDF; with `seeded`, after a first page of its glyphs.
    QByteArray paint(const PrintLayout& layout, const PdfTextLayer* seeded);

    QIODevice& mDevice;
    std::function<bool(int, int)> mProgress;
    ExportInfo mInfo;
    QList<DayRow> mDays;
    int mPages = 0;
    QString mUnprintable;
    QStringList mUntold;
};
