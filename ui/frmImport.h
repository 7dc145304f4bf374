#pragma once

#include "exchange/ImportFile.h"
#include "store/MasterImport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RunningHost;

// The import window (ｲﾝﾎﾟｰﾄ): reads a file of this program (JSON, CSV) or
// an iCalendar file, shows what it found before anything changes (the
// days, those outside the stored range, those whose entry differs), and
// takes the days in as chosen: entries that differ replaced, added to or
// kept; days outside the range taken by widening it, or left out; the
// workday flags of JSON and CSV taken or not. A backup is made first; the
// import is one transaction.
class frmImport : public QDialog
{
    Q_OBJECT

public:
    // `backup` runs before the calendar is changed (false: nothing happens).
    frmImport(RunningHost* host, std::function<bool()> backup, QWidget* parent = nullptr);

    // What the window found and would do, as shown.
    QString foundText() const;

public slots:
    void cmdBrowse_Click();
    void cmdRead_Click();
    void cmdImport_Click();

signals:
    // The calendar was changed.
    void imported();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void forget();
    void chooseDefault();
    QString sourcePath() const;

    RunningHost* mHost;
    std::function<bool()> mBackup;
    ImportFile mFile;
    bool mRead = false;
    QString mReadPath; // the file mFile was read from
    QLineEdit* txtSource;
    QPushButton* cmdBrowse;
    QPushButton* cmdRead;
    QLabel* lblFound;
    QRadioButton* optReplace;
    QRadioButton* optAppend;
    QRadioButton* optKeep;
    QCheckBox* chkExtend;
    QCheckBox* chkWorkdays;
    QPushButton* cmdImport;
};
