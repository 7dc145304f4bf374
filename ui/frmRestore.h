#pragma once

#include "store/Backup.h"

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;
class QTreeWidget;

// The window of ﾌｧｲﾙ → ﾊﾞｯｸｱｯﾌﾟから復元: the backups, the one made last
// first, with the time each was made (marked when it lies after the clock), the months it holds and
// how many days have an entry; the user picks one. A backup that cannot be read as a calendar is
// shown but cannot be picked.
class frmRestore : public QDialog
{
    Q_OBJECT

public:
    explicit frmRestore(const QList<BackupInfo>& backups, QWidget* parent = nullptr);

    // The backup picked; nullptr when none is.
    const BackupInfo* chosen() const;

    QLabel* lblPrompt = nullptr;
    QTreeWidget* lstBackups = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The time a backup was made, as the program shows it.
    static QString MadeText(const BackupInfo& backup);
    // The same in the list, saying so when that time lies after the clock.
    static QString MadeColumnText(const BackupInfo& backup);
    // The months a backup holds ("2026/12～2031/12"), or why none are shown.
    static QString RangeText(const BackupInfo& backup);

private:
    QList<BackupInfo> mBackups;
};
