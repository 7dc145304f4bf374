#include "exchange/PdfWriter.h"

#include <QPdfWriter>

void PdfWriter::finish()
{
    const PrintLayout layout(mInfo.print, std::move(mDays), mInfo.firstYm, mInfo.lastYm);
    {
        QPdfWriter pdf(&mDevice);
        pdf.setCreator(QStringLiteral("Zedu"));
        pdf.setTitle(QStringLiteral("Zedu"));
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation(),
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        mPages = layout.paint(pdf, mProgress);
    }
}
