#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class MonthRangePicker;
class PrintOptionsBox;
class RunningHost;

// The print window (印刷): the months to print, the layout (月ごと or 日ごと,
// every day or only days with an entry) and the size of the text; 印刷
// opens Qt's print preview of the pages, whose print button leads to the
// system's print dialog. The pages are the ones the PDF export writes. Out
// of an encrypted calendar, pages printed into a file are asked for first
// as the export is, and the file is its owner's alone.
class frmPrint : public QDialog
{
    Q_OBJECT

public:
    // The months offered start and end at `month` (yyyymm).
    frmPrint(RunningHost* host, int month, QWidget* parent = nullptr);

public slots:
    void cmdPreview_Click();

private:
    RunningHost* mHost;
    MonthRangePicker* mRange;
    PrintOptionsBox* mPrint;
    QCheckBox* chkEntriesOnly;
};
