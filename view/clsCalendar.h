#pragma once

#include <QObject>

#include <utility>

class QLineEdit;
class FlexGrid;
class RunningHost;

// The current date of the main window. It keeps the month grid and the
// year-month caption in step with the date, and announces every effective
// move with Change after the grid was rebuilt and its selection moved: the
// selected cell is always the current day's (or an empty one when the month
// has no such day).
class clsCalendar : public QObject
{
    Q_OBJECT

public:
    // Binds the grid and the caption and formats the grid's header row.
    clsCalendar(FlexGrid* grid, QLineEdit* caption, RunningHost* host, QObject* parent = nullptr);

    // Day key yyyymmdd of the current date; 0 before the first assignment.
    int CurDate() const;
    // Sets year, month and day in turn, then raises Change once more (also
    // when nothing changed).
    void setCurDate(int value);

    int CurYear() const { return mYear; }
    void setCurYear(int value);
    int CurMonth() const { return mMonth; }
    void setCurMonth(int value);
    int CurDay() const { return mDay; }
    void setCurDay(int value);

    // Makes the day shown in the grid's current cell the current day (0 for
    // an empty cell).
    void DayScan();
    // Steps the month by -1 or +1, across year ends.
    void MoveMonth(int MoveQt);
    // Selects the cell showing the current day, unless the current cell
    // shows it already (an empty cell shows day 0); the first empty cell
    // when no cell shows it.
    void MoveCursor();
    // Rebuilds caption and grid for the current year and month from the
    // calendar file. A store error passes to the caller after the busy state
    // was ended and drawing resumed.
    void Refresh();

    // Every day cell of a day with an entry carries a mark; the marks follow
    // the entries as they are saved. Whether they are drawn is the grid's
    // ShowMarks.

signals:
    void Change(int OldDate, int NewDate);

private:
    enum class Part
    {
        Year,
        Month,
        Day
    };
    void setPart(Part part, int value);
    void setupHeader();
    // The cell showing `day` of the shown month as (row, column); (-1, -1)
    // when no cell shows it.
    std::pair<int, int> cellOfDay(int day) const;
    void markDay(int key, bool hasEntry);
    void refreshMarks();

    FlexGrid* mGrid;
    QLineEdit* mCaption;
    RunningHost* mHost;
    int mYear = 0;
    int mMonth = 0;
    int mDay = 0;
    int mOldDate = 0;
};
