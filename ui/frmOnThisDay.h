#pragma once

#include "insight/OnThisDay.h"
#include "ui/CompanionPlacement.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QTreeWidget;
class InsightFeed;

// 過去の同じ日: the entries written on the current day's month and day in
// every earlier year, newest first, each with its date as the entry list
// writes it, how many years ago, and its first line. Non-modal, owned by
// the main window; it follows the current day and the entries as they are
// saved. Return or a double click chooses a day; Escape closes it and the
// keyboard goes back where it was. It opens beside the main window, never
// over its entry box, and keeps its place and size.
class frmOnThisDay : public QDialog
{
    Q_OBJECT

public:
    // `owner` is the main window: not the parent, which the window system
    // would keep under this window. `keepInSight`: the part of it the window
    // must not open over (the entry box), in screen coordinates.
    frmOnThisDay(QWidget* owner, InsightFeed* feed, std::function<QRect()> keepInSight);

    // Shows the window in front for the day `key`.
    void showInFront(int key);
    // The current day moved to `key`: an open window shows its past days.
    void setDay(int key);
    int day() const { return mKey; }
    // The rows shown.
    const QList<PastDay>& pastDays() const { return mPast; }

    void done(int result) override;

signals:
    // The user chose a day to open (Return, a double click).
    void dayChosen(int key);

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void fitLines();
    void chooseCurrentRow();

    QPointer<QWidget> mOwner;
    InsightFeed* mFeed;
    CompanionPlacement mPlacement;
    QLabel* lblDay;
    QLabel* lblCount;
    QTreeWidget* lstPast;
    QPointer<QWidget> mFocusBefore;
    int mKey = 0;
    QList<PastDay> mPast;
};
