#include "exchange/PdfWriter.h"

#include "exchange/PdfTextLayer.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

QByteArray PdfWriter::paint(const PrintLayout& layout, const PdfTextLayer* seeded)
{
    QBuffer pages;
    pages.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&pages);
        pdf.setCreator(QStringLiteral("Zedu"));
        pdf.setTitle(QStringLiteral("Zedu"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation(),
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        QPainter painter(&pdf);
        if (seeded) {
            seeded->seed(painter);
            pdf.newPage();
        }
        mPages = layout.paint(painter, pdf, mProgress);
    }
    return pages.data();
}

void PdfWriter::finish()
{
    const PrintLayout layout(mInfo.print, std::move(mDays), mInfo.firstYm, mInfo.lastYm);
    mUnprintable = layout.unprintable();
    PdfTextLayer textLayer(layout.days(), layout.entryFont());
    // Painted into memory, then written with every write checked: the PDF
    // writer itself does not tell a failed write.
    QByteArray pdf = paint(layout, textLayer.needed() ? &textLayer : nullptr);
    if (mPages < 0)
        return;
    if (std::optional<QByteArray> named = textLayer.complete(pdf)) {
        pdf = std::move(*named);
    } else {
        // The seeded page could not be taken out: painted again without it.
        pdf = paint(layout, nullptr);
        if (mPages < 0)
            return;
    }
    mUntold = textLayer.untold();
    OutputBuffer out(mDevice);
    out.append(pdf);
    out.flush();
}
