#pragma once

#include "search/DiaryIndex.h"
#include "search/SearchQuery.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;
class FoundDaysModel;
class RetryTimer;

// The search window: a text field whose results follow the typing, the
// choice whether hiragana and katakana are told apart, the count of days and
// hits, and the days found, each with the line of its first hit. Non-modal,
// owned by the main window but a window of its own, so that the main window
// can come in front of it; Escape closes it and the keyboard goes back where
// it was. It opens beside the main window, clear of its entry box, until the
// user moves it; from then on where the user put it. The window only shows:
// the index finds, the main window opens the day chosen.
class frmSearch : public QDialog
{
    Q_OBJECT

public:
    // What the window asks of the main window: the current day, whose row is
    // selected when results arrive, and the entry being typed, which counts
    // with its current text.
    struct Host
    {
        std::function<int()> currentDay;
        std::function<std::optional<TypedEntry>()> typedEntry;
        // The part of the main window the search window must not cover when
        // it opens (the entry box), in screen coordinates.
        std::function<QRect()> keepInSight;
        // The diary in memory, shared with other windows; the window makes
        // its own when none is given.
        DiaryIndex* index = nullptr;
    };

    // `owner` is the main window: not the parent, which the window system
    // would keep under this window.
    frmSearch(QWidget* owner, Host host);
    ~frmSearch() override;

    // Shows the window in front with its text selected, the results brought
    // up to date.
    void showInFront();

    // The search text as a query, with the kana choice.
    SearchQuery query() const;

    // Searches the whole diary with the text as it is now and shows the
    // results. A store error passes to the caller.
    const SearchResults& search();
    // The results shown, in date order: what is handed on to work with the
    // days found.
    const SearchResults& results() const;
    // Selects the row of `key`, or of the nearest later day found.
    void selectDay(int key);
    // The diary or the entry being typed changed: an open window searches
    // again after the pause, a hidden one when it is shown.
    void refreshSoon();

    void done(int result) override;

    // How long after the last key the results follow.
    static constexpr int kPauseMs = 200;

signals:
    // The user chose a day to open (Return, a double click).
    void dayChosen(int key);
    // F3 or Shift+F3 pressed here: +1 for the next day, -1 for the previous.
    void findAgainRequested(int direction);
    // A search ran, or the window was shown or hidden: what the entry box
    // highlights may be other.
    void searchChanged();
    // 結果をｴｸｽﾎﾟｰﾄ: the days found, in date order, to be exported.
    void exportRequested(const QList<int>& days);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The search the typing starts after its pause: a store error is shown
    // in the window instead of a box for every key.
    void searchAfterPause();
    void chooseCurrentRow();
    void showCount();
    // A message in the window's own line (empty: none).
    void showMessage(const QString& text);
    void place();
    void savePlacement();

    QPointer<QWidget> mOwner;
    Host mHost;
    DiaryIndex* mIndex;
    FoundDaysModel* mModel;
    QLineEdit* txtFind;
    QCheckBox* chkKana;
    QLabel* lblCount;
    QLabel* lblMessage;
    QPushButton* cmdExport;
    QTreeView* lstFound;
    QTimer* mPause;
    RetryTimer* mRetry = nullptr;
    QPointer<QWidget> mFocusBefore;
    // The size and any place kept from before are read once per run.
    bool mRestored = false;
    // Where the user put the window; until then it is placed at every
    // opening.
    bool mUserPlaced = false;
    // Where it was placed the last time.
    QPoint mPlacedAt;
    // The results no longer match the diary or the text.
    bool mStale = true;
};
