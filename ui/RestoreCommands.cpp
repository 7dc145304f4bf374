// The File menu's restore command: a backup chosen in the restore window
// takes the calendar's place, after the calendar in use was backed up.

#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/Engine.h"
#include "store/MasterReads.h"
#include "ui/frmMain.h"
#include "ui/frmRestore.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QDir>

void frmMain::mnuRestore_Click()
{
    guarded([this] {
        try {
            plan()->Save();
        } catch (const EngineError&) {
            // An entry this calendar does not take (a damaged one, say) does
            // not stand in the way of a good one: it stays in its recovery
            // file and is written into the restored calendar below, or kept
            // there if that holds another text for its day.
        }
        QList<BackupInfo> backups;
        {
            RunningScope busy(this, QStringLiteral("バックアップを調べています。"));
            backups = ReadBackupInfos();
        }
        if (backups.isEmpty()) {
            ShowInfo(QStringLiteral("復元できるバックアップがありません。\r") +
                     QDir::toNativeSeparators(BackupFolder()));
            return;
        }
        frmRestore chooser(backups, this);
        if (chooser.exec() != QDialog::Accepted || !chooser.chosen())
            return;
        const BackupInfo chosen = *chooser.chosen();
        if (AskYesNo(QStringLiteral("%1 のバックアップから暦を復元します。\r今の暦ファイルは、"
                                    "バックアップしてから置き換えます。\r復元して良いですか？")
                         .arg(frmRestore::MadeText(chosen))) == Dialogs::No)
            return;
        QString kept;
        {
            RunningScope busy(this, QStringLiteral("バックアップから復元しています。"));
            kept = RestoreBackup(chosen.path);
            // The restored calendar is shown on the same day, or today's
            // when no month could be shown before. The month is drawn again
            // even where the date does not move.
            const int day = mWaitingForFile ? TodayKey() : mCalendar->CurDate();
            waitForFile(false);
            mCalendar->setCurDate(day);
            mCalendar->Refresh();
            mCalendar->MoveCursor();
            if (!mnuDispMode[0]->isChecked()) {
                list()->DateIndex = day;
                list()->OpenList(mnuDispMode[1]->isChecked() ? DayList::AllDays
                                                             : DayList::DaysWithEntries);
            }
        }
        ShowInfo(QStringLiteral("バックアップから復元しました。今までの暦ファイルは、次のファイル"
                                "に残しました。\r") +
                 QDir::toNativeSeparators(kept));
    });
}
