#include "ui/frmPrint.h"

#include "exchange/PrintLayout.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/MasterReads.h"
#include "ui/ExchangeWidgets.h"
#include "ui/PlainFiles.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

frmPrint::frmPrint(RunningHost* host, int month, QWidget* parent) : QDialog(parent), mHost(host)
{
    mRange = new MonthRangePicker(ReadStoredMonths(), month, month, this);
    mPrint = new PrintOptionsBox({PageLayout::Monthly, 10}, this);
    chkEntriesOnly = new QCheckBox(QStringLiteral("日ごとは予定がある日だけ(&N)"), this);
    chkEntriesOnly->setObjectName(QStringLiteral("chkEntriesOnly"));
    chkEntriesOnly->setChecked(true);
    chkEntriesOnly->setEnabled(false);
    connect(mPrint, &PrintOptionsBox::layoutChanged, this,
            [this] { chkEntriesOnly->setEnabled(mPrint->options().layout == PageLayout::Daily); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("範囲(&R):"), mRange);
    form->addRow(mPrint);
    form->addRow(chkEntriesOnly);

    QPushButton* preview = SetUpExchangeWindow(this, "frmPrint", QStringLiteral("印刷"), form,
                                               QStringLiteral("印刷(&P)..."), "cmdPreview");
    connect(preview, &QPushButton::clicked, this, &frmPrint::cmdPreview_Click);
}

void frmPrint::cmdPreview_Click()
{
    const PrintOptions options = mPrint->options();
    const int first = mRange->firstMonth();
    const int last = mRange->lastMonth();
    const bool monthly = options.layout == PageLayout::Monthly;
    QList<DayRow> days;
    try {
        RunningScope busy(mHost, QStringLiteral("印刷する日を読み込んでいます。"));
        FileSession session;
        days = ReadDayRowList(session.db(),
                              {first, last, !monthly && chkEntriesOnly->isChecked(), {}});
    } catch (const EngineError& e) {
        ShowWarning(StoreErrorText(e));
        return;
    }
    if (days.isEmpty()) {
        ShowWarning(QStringLiteral("印刷する日がありません。"));
        return;
    }
    const PrintLayout layout(options, std::move(days), first, last);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Zedu"));
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation(),
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("dlgPrintPreview"));
    preview.setWindowTitle(QStringLiteral("印刷プレビュー"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&layout](QPrinter* target) {
        // Pages printed into a file take the diary out of its encryption,
        // as an export does: asked first, and the owner's alone.
        if (HeldCalendarKeys() && PrintsToFile(*target)) {
            if (!ConfirmPlainFile())
                return;
            if (!MakeOwnerOnlyFile(target->outputFileName())) {
                ShowWarning(QStringLiteral("書き出し先にファイルを作れませんでした。\r") +
                            QDir::toNativeSeparators(target->outputFileName()));
                return;
            }
        }
        layout.paint(*target);
    });
    preview.exec();
}
