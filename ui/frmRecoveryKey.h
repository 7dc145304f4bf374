#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPushButton;

// The window that shows a new recovery key once, right after the calendar
// was encrypted: the key in groups of letters and digits, what it is for,
// and buttons to copy or print it. The key shown is wiped by the command
// once the window is closed; a copy on the clipboard stays.
class frmRecoveryKey : public QDialog
{
    Q_OBJECT

public:
    frmRecoveryKey(const QString& key, QWidget* parent = nullptr);

    // Draws the page that keeps the key for the calendar at `calendarPath`.
    static void PrintKey(QPagedPaintDevice& page, const QString& key, const QString& calendarPath);

    // What copying the key left on the clipboard, and what to do with it;
    // shown once the key was copied.
    static QString CopiedText();

    QLabel* lblExplanation = nullptr;
    QLabel* lblCopied = nullptr;
    QLineEdit* txtRecoveryKey = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void copy();
    void print();

    QString mKey;
};
