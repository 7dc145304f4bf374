#include "view/clsCalendar.h"

#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/JapaneseHolidays.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/Engine.h"
#include "store/MasterChanges.h"
#include "store/MasterReads.h"
#include "view/FlexGrid.h"

#include <QHash>
#include <QLineEdit>

#include <limits>
#include <stdexcept>

namespace {
constexpr int kRed = 255;
constexpr int kBlue = 16711680;
} // namespace

clsCalendar::clsCalendar(FlexGrid* grid, QLineEdit* caption, RunningHost* host, QObject* parent)
    : QObject(parent), mGrid(grid), mCaption(caption), mHost(host)
{
    setupHeader();
    MasterChanges& changes = MasterChanges::instance();
    connect(&changes, &MasterChanges::entrySaved, this,
            [this](int key, const QString& text) { markDay(key, !text.isEmpty()); });
    // A yearly event line makes the entry of its day non-empty.
    connect(&changes, &MasterChanges::yearlyEntriesChanged, this,
            [this](int monthDay) { markDay(mYear * 10000 + monthDay, true); });
    connect(&changes, &MasterChanges::entriesReplaced, this, &clsCalendar::refreshMarks);
}

std::pair<int, int> clsCalendar::cellOfDay(int day) const
{
    for (int r = mGrid->FixedRows(); r < mGrid->Rows(); ++r)
        for (int c = mGrid->FixedCols(); c < mGrid->Cols(); ++c)
            if (LeadingWholeNumber(mGrid->TextMatrix(r, c)).value_or(0) == day)
                return {r, c};
    return {-1, -1};
}

void clsCalendar::markDay(int key, bool hasEntry)
{
    if (key / 100 != mYear * 100 + mMonth)
        return;
    const auto [row, col] = cellOfDay(key % 100);
    if (row >= 0)
        mGrid->setCellMarkAt(row, col, hasEntry);
}

void clsCalendar::refreshMarks()
{
    try {
        for (const DayRecord& day : ReadMonthDays(mYear * 100 + mMonth).days)
            markDay(day.key, day.hasEntry);
    } catch (const EngineError&) {
        // The marks stay as they were; the next Refresh reports the file.
    }
}

void clsCalendar::setupHeader()
{
    RedrawOff frozen(mGrid);
    mGrid->setRow(0);
    for (int i = 0; i < mGrid->Cols(); ++i) {
        mGrid->setTextMatrix(0, i, gWeekNames.value(i));
        mGrid->setColWidth(i, 390);
        mGrid->setColAlignment(i, 5);
    }
    mGrid->setCol(0);
    mGrid->setCellForeColor(kRed);
    mGrid->setCol(6);
    mGrid->setCellForeColor(kBlue);
}

int clsCalendar::CurDate() const
{
    const qint64 key = qint64(mYear) * 10000 + qint64(mMonth) * 100 + mDay;
    if (key > std::numeric_limits<int>::max() || key < std::numeric_limits<int>::min())
        throw std::overflow_error("date out of range");
    return int(key);
}

void clsCalendar::setPart(Part part, int value)
{
    int& stored = part == Part::Year ? mYear : part == Part::Month ? mMonth : mDay;
    if (value == stored)
        return;
    mOldDate = CurDate();
    stored = value;
    if (part != Part::Day)
        Refresh();
    // The selected cell is the day being written, in a new month too.
    MoveCursor();
    emit Change(mOldDate, CurDate());
}

void clsCalendar::setCurYear(int value)
{
    setPart(Part::Year, value);
}

void clsCalendar::setCurMonth(int value)
{
    setPart(Part::Month, value);
}

void clsCalendar::setCurDay(int value)
{
    setPart(Part::Day, value);
}

void clsCalendar::setCurDate(int value)
{
    mOldDate = CurDate();
    setCurYear(value / 10000);
    setCurMonth((value - mYear * 10000) / 100);
    setCurDay(value - mYear * 10000 - mMonth * 100);
    emit Change(mOldDate, CurDate());
}

void clsCalendar::DayScan()
{
    setCurDay(LeadingWholeNumber(mGrid->Text()).value_or(0));
}

void clsCalendar::MoveMonth(int MoveQt)
{
    int m = mMonth + MoveQt;
    int y = mYear;
    if (m == 0) {
        y -= 1;
        m = 12;
    } else if (m == 13) {
        y += 1;
        m = 1;
    }
    setCurYear(y);
    setCurMonth(m);
}

void clsCalendar::MoveCursor()
{
    // The cell the user picked stays current, an empty one too (day 0): the
    // arrow keys go on from where the user is, back to the days beside it.
    if (mGrid->Row() >= mGrid->FixedRows() && mGrid->Row() < mGrid->Rows() &&
        LeadingWholeNumber(mGrid->Text()).value_or(0) == mDay)
        return;
    RedrawOff frozen(mGrid);
    // A day the month does not have (the 31st after a step into February)
    // selects the first empty cell, so that no other day looks like the one
    // being written. A month grid always has empty cells.
    for (const int wanted : {mDay, 0}) {
        const auto [row, col] = cellOfDay(wanted);
        if (row >= 0) {
            mGrid->setRow(row);
            mGrid->setCol(col);
            return;
        }
    }
}

void clsCalendar::Refresh()
{
    RunningScope busy(mHost, QStringLiteral("カレンダーを表示しています。"));
    const int ym = mYear * 100 + mMonth;
    const MonthDays month = ReadMonthDays(ym);
    mCaption->setText(QStringLiteral("%1年%2月").arg(mYear).arg(mMonth));
    if (month.anyFrom) {
        RedrawOff frozen(mGrid);
        const int col = mGrid->Col();
        const int row = mGrid->Row();
        mGrid->setRows(mGrid->FixedRows());
        mGrid->setRows(7);
        // A public holiday shows its name, whether the day is marked or not.
        const QDate first(mYear, mMonth, 1);
        QHash<int, QString> holidayNames;
        for (const JapaneseHoliday& holiday :
             JapaneseHolidays(first, first.addMonths(1).addDays(-1)))
            holidayNames.insert(DayKey(holiday.date), holiday.name);
        int r = 1;
        for (const DayRecord& day : month.days) {
            const int c = day.week;
            mGrid->setTextMatrix(r, c, QString::number(day.key - ym * 100));
            if (day.holiday)
                mGrid->setCellForeColorAt(r, c, kRed);
            mGrid->setCellMarkAt(r, c, day.hasEntry);
            if (const auto name = holidayNames.constFind(day.key); name != holidayNames.cend())
                mGrid->setCellToolTipAt(r, c, *name);
            if (c == mGrid->Cols() - 1)
                r += 1;
        }
        mGrid->setCol(col);
        mGrid->setRow(row);
    }
    mGrid->setVisible(!month.days.isEmpty());
}
