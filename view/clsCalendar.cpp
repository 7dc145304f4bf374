#include "view/clsCalendar.h"

#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "view/FlexGrid.h"

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
}

void clsCalendar::setupHeader()
{
    mGrid->setRedraw(false);
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
    mGrid->setRedraw(true);
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
    if (part == Part::Day)
        MoveCursor();
    else
        Refresh();
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
    mGrid->setRedraw(false);
    for (int r = mGrid->FixedRows(); r < mGrid->Rows(); ++r) {
        for (int c = mGrid->FixedCols(); c < mGrid->Cols(); ++c) {
            if (LeadingWholeNumber(mGrid->TextMatrix(r, c)).value_or(0) == mDay) {
                mGrid->setRow(r);
                mGrid->setCol(c);
                mGrid->setRedraw(true);
                return;
            }
        }
    }
    mGrid->setRedraw(true);
}

void clsCalendar::Refresh()
{
    mHost->Running(QStringLiteral("カレンダーを表示しています。"));
    try {
        FileSession session;
        mCaption->setText(QStringLiteral("%1年%2月").arg(mYear).arg(mMonth));
        const int ym = mYear * 100 + mMonth;
        const int first = ym * 100;
        bool shown = false;

        // One keyed look-up; a month has at most 31 records, the 32nd row
        // (if any) already belongs to a later month.
        Query month(session.db(), QStringLiteral("SELECT 日付, 曜日, 平日 FROM Master "
                                                 "WHERE 日付 >= ? ORDER BY 日付 LIMIT 32"));
        month.bind(first).exec();
        if (month.next()) {
            mGrid->setRedraw(false);
            const int col = mGrid->Col();
            const int row = mGrid->Row();
            mGrid->setRows(mGrid->FixedRows());
            mGrid->setRows(7);
            int r = 1;
            do {
                const int key = month.value(0).toInt();
                if (key / 100 != ym)
                    break;
                shown = true;
                const int c = month.value(1).toInt();
                mGrid->setTextMatrix(r, c, QString::number(key - first));
                const QVariant workday = month.value(2);
                // A missing flag counts as a workday.
                if (!workday.isNull() && !workday.toBool())
                    mGrid->setCellForeColorAt(r, c, kRed);
                if (c == mGrid->Cols() - 1)
                    r += 1;
            } while (month.next());
            mGrid->setCol(col);
            mGrid->setRow(row);
            mGrid->setRedraw(true);
        }
        mGrid->setVisible(shown);
    } catch (...) {
        mGrid->setRedraw(true);
        mHost->Running(QString());
        throw;
    }
    mHost->Running(QString());
}
