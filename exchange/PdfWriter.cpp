#include "exchange/PdfWriter.h"

#include <QBuffer>
#include <QPdfWriter>

void PdfWriter::finish()
{
    const PrintLayout layout(mInfo.print, std::move(mDays), mInfo.firstYm, mInfo.lastYm);
    mUnprintable = layout.unprintable();
    // Painted into memory, then written with every write checked: the PDF
    // writer itself does not tell a failed write.
    QBuffer pages;
    pages.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&pages);
        pdf.setCreator(QStringLiteral("Zedu"));
        pdf.setTitle(QStringLiteral("Zedu"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation(),
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        mPages = layout.paint(pdf, mProgress);
    }
    if (mPages < 0)
        return;
    OutputBuffer out(mDevice);
    out.append(pages.data());
    out.flush();
}
