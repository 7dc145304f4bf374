// The handlers that move the current date and keep the day's entry in step
// with it: the month buttons, the year-month jump, the month grid's events and
// the answer to the calendar's Change.

#include "entries/clsPlan.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/MasterReads.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QListWidget>
#include <QMenu>
#include <QPushButton>

void frmMain::cmdYm_Click(int Index)
{
    guarded([&] {
        if (Index == 1)
            mCalendar->setCurDate(TodayKey());
        else
            mCalendar->MoveMonth(Index - 1);
    });
}

void frmMain::cmdJump_Click()
{
    guarded([this] {
        const int current = mCalendar->CurYear() * 100 + mCalendar->CurMonth();
        const QList<int> months = ReadStoredMonths();
        int selected = 0;
        mFilling = true;
        lstJump->clear();
        for (const int ym : months) {
            auto* item = new QListWidgetItem(QStringLiteral("%1年%2月")
                                                 .arg(ym / 100, 4, 10, QLatin1Char('0'))
                                                 .arg(ym % 100, 2, 10, QLatin1Char('0')));
            item->setData(Qt::UserRole, ym);
            lstJump->addItem(item);
            if (ym == current)
                selected = lstJump->count() - 1;
        }
        mFilling = false;
        if (lstJump->count() > 0) {
            // Selecting in code is a choice: the calendar moves to it at once.
            lstJump->setCurrentRow(selected);
        }
        lstJump->setVisible(true);
        lstJump->raise();
        lstJump->setFocus(Qt::OtherFocusReason);
    });
}

void frmMain::lstJump_Click()
{
    QListWidgetItem* item = lstJump->currentItem();
    if (!item)
        return;
    const int ym = item->data(Qt::UserRole).toInt();
    const bool hadKeyboard = focusWidget() == lstJump;
    putAwayJumpList();
    guarded([&] {
        mCalendar->setCurYear(ym / 100);
        mCalendar->setCurMonth(ym - mCalendar->CurYear() * 100);
    });
    // A month reached from outside the range has its grid only now.
    if (hadKeyboard)
        focusMonthGrid();
}

void frmMain::lstJump_LostFocus()
{
    lstJump->setVisible(false);
}

void frmMain::putAwayJumpList()
{
    // The keys that follow a choice (Return, Escape) go to the month grid,
    // where they do nothing, never on to the entry box.
    if (focusWidget() == lstJump)
        focusMonthGrid();
    lstJump->setVisible(false);
}

void frmMain::focusMonthGrid()
{
    (greDate->isVisible() ? static_cast<QWidget*>(greDate) : cmdJump)
        ->setFocus(Qt::OtherFocusReason);
}

void frmMain::txtToday_Change()
{
    plan()->Dirty = true;
    startQuietSave();
}

void frmMain::greDate_DblClick()
{
    // The first click of the double click made its day current.
    mnuChange_Click();
}

void frmMain::greDate_MouseDown(int Button, int, double X, double Y)
{
    if (Button == 2)
        mnuEdit->popup(greDate->mapToGlobal(QPoint(TwipsToPixelsX(X), TwipsToPixelsY(Y))));
}

void frmMain::greDate_RowColChange()
{
    // Changes made while drawing is suspended are the calendar's own.
    if (!mCalendar || !greDate->Redraw())
        return;
    guarded([this] { mCalendar->DayScan(); });
}

void frmMain::mCalendar_Change(int, int NewDate)
{
    // The box keeps its day's entry while the calendar goes back to that
    // day, and once its save failed in this command (afterCommand).
    if (mReturning || mSaveFailed)
        return;
    guarded([&] {
        try {
            plan()->Save();
        } catch (...) {
            mSaveFailed = true;
            throw;
        }
        plan()->Load(NewDate);
    });
}
