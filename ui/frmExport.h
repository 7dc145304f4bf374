#pragma once

#include "exchange/ExportFormat.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class MonthRangePicker;
class PrintOptionsBox;
class RunningHost;

// The export window (ｴｸｽﾎﾟｰﾄ): which days (a range of stored months, every
// day or only days with an entry, or the days a search found), the format
// with its options, and the file or folder to write. The export shows its
// progress with a Cancel button; the file appears only when complete, and
// an existing one is replaced only after a question.
class frmExport : public QDialog
{
    Q_OBJECT

public:
    // `found`: the days of search results, offered instead of the range.
    frmExport(RunningHost* host, const QList<int>& found = {}, QWidget* parent = nullptr);

    ExportFormat format() const;
    // The target with the suffix of the chosen format.
    static QString WithSuffix(const QString& target, ExportFormat format);

public slots:
    void cmdExport_Click();
    void cmdBrowse_Click();

private:
    void formatChanged();

    RunningHost* mHost;
    QList<int> mFound;
    QComboBox* cboFormat;
    MonthRangePicker* mRange;
    QRadioButton* optAllDays;
    QRadioButton* optEntryDays;
    QRadioButton* optFoundDays = nullptr;
    QGroupBox* fraICalendar;
    QCheckBox* chkEvents;
    QCheckBox* chkHolidays;
    PrintOptionsBox* mPrint;
    QLineEdit* txtTarget;
    QPushButton* cmdBrowse;
    QPushButton* cmdExport;
};
