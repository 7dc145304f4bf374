// The File menu's range and exit commands and the Display menu.

#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/clsMaster.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>

namespace {

// A year-month number as "0000/00" (199907 -> 1999/07).
QString F(int yearMonth)
{
    return QStringLiteral("%1/%2")
        .arg(yearMonth / 100, 4, 10, QLatin1Char('0'))
        .arg(yearMonth % 100, 2, 10, QLatin1Char('0'));
}

const QString kHowToType = QStringLiteral(
    "変更する場合は、例えば、1999年7月なら[199907]の様に、年を４桁、月を２桁で入力して"
    "下さい。\r値を変更しない場合は、そのまま「ＯＫ」ボタンを押して下さい。");

} // namespace

void frmMain::mnuDateRange_Click()
{
    guarded([this] {
        plan()->Save();
        int first = 0;
        int last = 0;
        {
            RunningScope busy(this, QStringLiteral("登録内容を取得しています。"));
            first = gMaster.DateTop() / 100;
            last = gMaster.DateBottom() / 100;
        }
        const int now = TodayKey() / 100;
        if (!InputYearMonth(first, first, now,
                            QStringLiteral("現在の暦は、") + F(first) +
                                QStringLiteral(" から登録されています。\r") + F(first) +
                                QStringLiteral("～") + F(now) +
                                QStringLiteral("の間で指定して下さい。\r") + kHowToType))
            return;
        const int limit = AddMonths(now, 60);
        if (!InputYearMonth(last, now, limit,
                            QStringLiteral("現在の暦は、") + F(last) +
                                QStringLiteral("まで登録されています。\r") + F(now) +
                                QStringLiteral("～") + F(limit) +
                                QStringLiteral("の間で指定して下さい。\r") + kHowToType))
            return;
        if (AskYesNo(QStringLiteral("暦の変更を行います。\r変更後は、") + F(first) +
                     QStringLiteral("～") + F(last) +
                     QStringLiteral("に変更されます。この範囲内に登録されている予定は保持されま"
                                    "すが、この年月の範囲外の予定は、全て削除され、二度と元に戻す"
                                    "ことはできません。\r暦の変更を実行して良いですか？")) ==
            Dialogs::No)
            return;
        if (!BackupBeforeChange())
            return;
        RunningScope busy(this, QStringLiteral("暦を更新しています。"));
        if (gMaster.Update(first, last))
            mCalendar->setCurDate(TodayKey());
        else
            ShowWarning(QStringLiteral("暦の更新は失敗しました。"));
    });
}

void frmMain::mnuDispMode_Click(int Index)
{
    guarded([&] {
        plan()->Save();
        if (Index == 0) {
            // Back from a list: the month grid comes back on the day chosen
            // there. Already in the month grid, the day stays.
            if (!mnuDispMode[0]->isChecked() && list()->CloseList())
                mCalendar->setCurDate(list()->DateIndex);
            greList->setVisible(false);
        } else {
            list()->DateIndex = mCalendar->CurDate();
            list()->OpenList(Index == 1 ? DayList::AllDays : DayList::DaysWithEntries);
        }
        for (int i = 0; i < 3; ++i)
            mnuDispMode[i]->setChecked(i == Index);
        // The keyboard goes to what is shown: Up and Down walk the list's
        // rows, or the month grid's days.
        if (Index == 0)
            greDate->setFocus(Qt::OtherFocusReason);
        else
            greList->setFocus(Qt::OtherFocusReason);
    });
}

void frmMain::showMonthGridDisplay()
{
    // A day opened from another window (found, looked back at, merged) is
    // shown in the month grid; a list open meanwhile closes.
    if (mnuDispMode[0]->isChecked())
        return;
    plan()->Save();
    list()->CloseList();
    greList->setVisible(false);
    for (int i = 0; i < 3; ++i)
        mnuDispMode[i]->setChecked(i == 0);
}

void frmMain::mnuExit_Click()
{
    // Everything ending involves belongs to closing the window.
    close();
}
