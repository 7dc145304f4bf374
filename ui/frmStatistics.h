#pragma once

#include "insight/DiaryFigures.h"
#include "ui/CompanionPlacement.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QBarSet;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;
class InsightFeed;
class YearSquares;

// 記録: one year of the diary as pictures and figures. The field of squares
// of its days, a bar chart of its months (characters written, and days
// written as a second series), and its figures: days written, characters,
// the average per day written, the longest entry, the longest streak, and
// the current streak of the whole diary. Non-modal, owned by the main
// window; it follows the entries as they are saved. A click on a square
// chooses that day; 画像として保存 writes the window's picture as PNG.
class frmStatistics : public QDialog
{
    Q_OBJECT

public:
    // `owner` is the main window: not the parent, which the window system
    // would keep under this window. `keepInSight`: the part of it the window
    // must not open over (the entry box), in screen coordinates.
    frmStatistics(QWidget* owner, InsightFeed* feed, std::function<QRect()> keepInSight);

    // Shows the window in front, on the current year the first time.
    void showInFront();
    int year() const;
    // The figures of the year shown.
    const DiaryFigures& figures() const { return mFigures; }

    // Writes the window's picture to `path` as PNG; says so when it cannot.
    bool savePicture(const QString& path);

signals:
    // The user chose a day to open (a click on its square).
    void dayChosen(int key);

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void fillYears();
    void showFigures();
    void showChart();
    void showSquares();
    void applyColours();
    void cmdSavePicture_Click();

    QPointer<QWidget> mOwner;
    InsightFeed* mFeed;
    CompanionPlacement mPlacement;
    QComboBox* cboYear;
    YearSquares* grdSquares;
    QChartView* chtMonths;
    QChart* mChart;
    QBarSet* mCharacters;
    QLineSeries* mDays;
    QValueAxis* mCharactersAxis;
    QValueAxis* mDaysAxis;
    QLabel* lblDaysWritten;
    QLabel* lblCharacters;
    QLabel* lblAverage;
    QLabel* lblLongestEntry;
    QLabel* lblLongestStreak;
    QLabel* lblCurrentStreak;
    QLabel* lblProblem;
    QPushButton* cmdSavePicture;
    DiaryFigures mFigures;
    int mCurrentStreak = 0;
    bool mFilling = false;
};
