#pragma once

#include "entries/RecoveryFile.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

// The window of 暗号化 → 回復用ファイルを読む: every recovery file in the
// folders where they are kept, the encrypted ones opened with the calendar's
// keys, with the text of the one chosen to read and copy (into the day's
// entry, say) and a button to delete it.
class frmRecoveryFiles : public QDialog
{
    Q_OBJECT

public:
    explicit frmRecoveryFiles(QWidget* parent = nullptr);

    QTreeWidget* lstFiles = nullptr;
    QPlainTextEdit* txtEntry = nullptr;
    QLabel* lblPath = nullptr;
    QPushButton* cmdCopy = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    struct File
    {
        QString path;
        RecoveredEntry entry;
        // Why it cannot be read; "" when it can.
        QString problem;
    };
    void fill();
    void showChosen();
    const File* chosen() const;

    QList<File> mFiles;
};
