// Looking back: 過去の同じ日 and 記録 of the Display menu, the windows they
// open, and the day chosen in them opened in the month grid.

#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "search/DiaryIndex.h"
#include "ui/InsightFeed.h"
#include "ui/frmMain.h"
#include "ui/frmOnThisDay.h"
#include "ui/frmStatistics.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QPlainTextEdit>

DiaryIndex* frmMain::diaryIndex()
{
    if (!mIndex)
        mIndex = new DiaryIndex(this);
    return mIndex;
}

InsightFeed* frmMain::insightFeed()
{
    if (!mInsight)
        mInsight = new InsightFeed(diaryIndex(), this);
    return mInsight;
}

QRect frmMain::entryBoxOnScreen() const
{
    return txtToday->isVisible() ? QRect(txtToday->mapToGlobal(QPoint(0, 0)), txtToday->size())
                                 : QRect();
}

frmOnThisDay* frmMain::onThisDayWindow()
{
    if (mOnThisDay)
        return mOnThisDay;
    mOnThisDay = new frmOnThisDay(this, insightFeed(), [this] { return entryBoxOnScreen(); });
    // Its keys are not held back by the main window's busy phases: what they
    // ask is dropped while a command runs.
    connect(mOnThisDay, &frmOnThisDay::dayChosen, this, [this](int key) {
        if (!isBusy())
            openLookedBackDay(key);
    });
    if (mCalendar)
        connect(mCalendar.get(), &clsCalendar::Change, mOnThisDay,
                [this](int, int NewDate) { mOnThisDay->setDay(NewDate); });
    return mOnThisDay;
}

frmStatistics* frmMain::statisticsWindow()
{
    if (mStatistics)
        return mStatistics;
    mStatistics = new frmStatistics(this, insightFeed(), [this] { return entryBoxOnScreen(); });
    connect(mStatistics, &frmStatistics::dayChosen, this, [this](int key) {
        if (!isBusy())
            openLookedBackDay(key);
    });
    return mStatistics;
}

void frmMain::mnuOnThisDay_Click()
{
    onThisDayWindow()->showInFront(mCalendar ? mCalendar->CurDate() : 0);
}

void frmMain::mnuStatistics_Click()
{
    statisticsWindow()->showInFront();
}

void frmMain::openLookedBackDay(int key)
{
    const bool opened = guarded([&] {
        // The day is shown in the month grid display.
        if (!mnuDispMode[0]->isChecked()) {
            plan()->Save();
            list()->CloseList();
            greList->setVisible(false);
            for (int i = 0; i < 3; ++i)
                mnuDispMode[i]->setChecked(i == 0);
        }
        mCalendar->setCurDate(key);
    });
    if (!opened)
        return;
    activateWindow();
    if (txtToday->isVisible())
        txtToday->setFocus(Qt::OtherFocusReason);
    else
        greDate->setFocus(Qt::OtherFocusReason);
}
