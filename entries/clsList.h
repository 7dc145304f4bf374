#pragma once

#include "store/MasterReads.h"

class FlexGrid;
class RunningHost;

// The list view of days in the list grid: one row per day with its date, day
// of the week and whole entry, filled once per opening. Closing it hands back
// the day of the selected row.
class clsList
{
public:
    // Binds the grid and gives it its two headed columns.
    clsList(FlexGrid* grid, RunningHost* host);

    // Before OpenList: the day whose row is selected. After CloseList: the
    // day of the row that was selected.
    int DateIndex = 0;

    // Fills the grid with the days of `which` and shows it, the row of
    // DateIndex (or, when that day is not listed, of the next listed day)
    // scrolled to the top and current.
    void OpenList(DayList which);
    // Hides the grid and puts the selected row's day into DateIndex. False,
    // with DateIndex unchanged, when no day row is selected (a list never
    // opened, or one without rows).
    bool CloseList();
    // Fits the columns to the grid's width.
    void Resize();

    // The date cell of a row: 1999/07/15(木).
    static QString DateText(int key, int week);
    // The entry as a row shows it: one trailing CR LF dropped.
    static QString EntryText(const QString& plan);
    // Lines of a shown entry: one more than its CR LF pairs.
    static int LineCount(const QString& shown);

private:
    FlexGrid* mGrid;
    RunningHost* mHost;
};
