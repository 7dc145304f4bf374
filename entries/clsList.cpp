#include "entries/clsList.h"

#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/Twips.h"
#include "view/FlexGrid.h"

#include <QFontMetrics>

#include <cmath>

namespace {
constexpr int kRed = 255;
constexpr double kDateWidth = 1680;
} // namespace

clsList::clsList(FlexGrid* grid, RunningHost* host) : mGrid(grid), mHost(host)
{
    RedrawOff frozen(mGrid);
    mGrid->setRow(0);
    mGrid->setCol(0);
    mGrid->setText(QStringLiteral("日付"));
    mGrid->setColAlignment(0, 1);
    mGrid->setColWidth(0, kDateWidth);
    mGrid->setCol(1);
    mGrid->setText(QStringLiteral("予定"));
    mGrid->setColAlignment(1, 1);
    mGrid->setColWidth(1, std::max(0.0, PixelsToTwipsX(mGrid->width()) - mGrid->ColWidth(0) - 480));
}

QString clsList::DateText(int key, int week)
{
    return FormatDayKey(key) + QLatin1Char('(') + gWeekNames.value(week) + QLatin1Char(')');
}

QString clsList::EntryText(const QString& plan)
{
    if (plan.endsWith(QStringLiteral("\r\n")))
        return plan.chopped(2);
    return plan;
}

int clsList::LineCount(const QString& shown)
{
    return 1 + int(shown.count(QStringLiteral("\r\n")));
}

void clsList::OpenList(DayList which)
{
    RunningScope busy(mHost, QStringLiteral("予定一覧を読み込んでいます。"));
    const int lineHeight = int(std::lround(PixelsToTwipsY(QFontMetrics(mGrid->font()).height())));
    const QList<DayRecord> days = ReadDayList(which);

    int selected = 0;
    {
        RedrawOff frozen(mGrid);
        const int fixed = mGrid->FixedRows();
        mGrid->setRows(fixed);
        mGrid->setRows(int(days.size()) + fixed);
        int i = fixed - 1;
        for (const DayRecord& day : days) {
            i += 1;
            // The row of the day itself, or else of the first day after it.
            if (day.key == DateIndex || (selected == 0 && day.key > DateIndex))
                selected = i;
            mGrid->setTextMatrix(i, 0, DateText(day.key, day.week));
            const QString text = EntryText(day.plan);
            mGrid->setRowHeight(i, LineCount(text) * lineHeight + 60);
            mGrid->setTextMatrix(i, 1, text);
            if (day.holiday)
                mGrid->setCellForeColorAt(i, 0, kRed);
        }
        // A list that ends before the day keeps its last row in view.
        if (selected == 0 && !days.isEmpty())
            selected = i;
    }
    if (selected > 0) {
        mGrid->setTopRow(selected);
        // The date cell of the row is current, as the holiday colouring of
        // the rows leaves the classic grid.
        mGrid->setCol(0);
        mGrid->setRow(selected);
    }
    mGrid->setVisible(true);
}

bool clsList::CloseList()
{
    mGrid->setVisible(false);
    if (mGrid->Row() < mGrid->FixedRows())
        return false;
    // "1999/07/15(木)": the date before the day name.
    const QString date = mGrid->TextMatrix(mGrid->Row(), 0);
    if (date.size() <= 3)
        return false;
    const QStringList parts = date.chopped(3).split(QLatin1Char('/'));
    if (parts.size() != 3)
        return false;
    DateIndex = DayKey(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
    return true;
}

void clsList::Resize()
{
    mGrid->setColWidth(0, kDateWidth);
    mGrid->setColWidth(1, std::max(0.0, PixelsToTwipsX(mGrid->width()) - mGrid->ColWidth(0) - 480));
}
