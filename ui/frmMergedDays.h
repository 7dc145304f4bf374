#pragma once

#include <QList>
#include <QSet>
#include <QWidget>

class QLabel;
class QTreeWidget;

// 「統合した日」: the days whose entry holds what both computers wrote, after
// a calendar replaced on disk or a conflict copy was merged. One row a day,
// with its date as the entry list shows it and the entry's first line;
// double click or Return opens the day in the main window. A window of its
// own beside the main window, not modal; it keeps the days of the whole run.
class frmMergedDays : public QWidget
{
    Q_OBJECT

public:
    // `owner`: the main window, beside which the window opens.
    explicit frmMergedDays(QWidget* owner);

    // Adds days to the list (each once, in day order) and reads their rows
    // afresh. A day that cannot be read (the calendar locked) shows its
    // date alone.
    void addDays(const QList<int>& keys);
    QList<int> days() const;

    // Shows the window beside its owner, or brings it to the front.
    void showBeside();

signals:
    void openDay(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();
    void openCurrent();

    QWidget* mOwner;
    QLabel* mLabel = nullptr;
    QTreeWidget* mList = nullptr;
    QSet<int> mDays;
    bool mPlaced = false;
};
