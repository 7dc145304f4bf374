#pragma once

#include <QList>
#include <QString>
#include <QWidget>

// The field of squares of one year: a column per week, Sunday at the top,
// a square per stored day shaded by how much was written that day (steps 0
// to 4 of ShadeScale), holidays framed in the red of the month grid's day
// numbers, the months named along the top. The colours come from the
// palette, so that they hold on a dark theme. A tooltip gives the day and
// its count; a click on a square chooses its day.
class YearSquares : public QWidget
{
    Q_OBJECT

public:
    struct Day
    {
        int key = 0;
        int step = 0;
        int characters = 0;
        bool holiday = false;
        QString holidayName; // a public holiday's name, or empty
    };

    explicit YearSquares(QWidget* parent = nullptr);

    // The stored days of `year` in key order.
    void setYear(int year, const QList<Day>& days);
    int year() const { return mYear; }

    // Where the square of `key` is drawn; empty when it is not shown.
    QRect squareRect(int key) const;
    // The day whose square holds `point`; 0 for none.
    int dayAt(const QPoint& point) const;
    // What the tooltip of a day's square says: its date (with a public
    // holiday's name) and its count.
    QString tipOf(int key) const;
    // The fill of a step on the current palette.
    QColor shade(int step) const;
    // The frame of a holiday on the current palette.
    QColor holidayColour() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void dayClicked(int key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The week column and weekday row of a day of the year shown.
    QRect cellOf(int key) const;
    const Day* dayOf(int key) const;

    int mYear = 0;
    QList<Day> mDays;
};
