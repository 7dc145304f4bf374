// Finding anything ever written: the search window, the next and previous
// day with a hit (F3, Shift+F3), the hits highlighted in the entry box, and
// the marks of the days with an entry in the month grid.

#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "search/Matcher.h"
#include "ui/HitTextDelegate.h"
#include "ui/frmMain.h"
#include "ui/frmSearch.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

namespace {

const QString kMarkEntries = QStringLiteral("MarkEntries");

// Hits highlighted in one entry at most: a huge entry with hundreds of
// thousands of one-character hits would make every repaint of the box slow.
constexpr qsizetype kMostHitsShown = 10000;

} // namespace

frmSearch* frmMain::searchWindow()
{
    if (mSearch)
        return mSearch;
    mSearch = new frmSearch(
        this, {[this] { return mCalendar ? mCalendar->CurDate() : 0; },
               [this]() -> std::optional<TypedEntry> {
                   if (!mPlan || !mPlan->Dirty)
                       return std::nullopt;
                   return TypedEntry{mPlan->DateIndex(),
                                     clsPlan::ToStoredText(clsPlan::BoxText(txtToday))};
               },
               [this] { return QRect(txtToday->mapToGlobal(QPoint(0, 0)), txtToday->size()); },
               diaryIndex()});
    // The search window's keys are not held back by the main window's busy
    // phases: what they ask is dropped while a command runs.
    connect(mSearch, &frmSearch::exportRequested, this, &frmMain::ShowExport);
    connect(mSearch, &frmSearch::dayChosen, this, [this](int key) {
        if (!isBusy())
            openFoundDay(key);
    });
    connect(mSearch, &frmSearch::findAgainRequested, this, [this](int direction) {
        if (!isBusy())
            findAgain(direction);
    });
    connect(mSearch, &frmSearch::searchChanged, this, [this] { showHitsInEntry(false); });

    // What is typed counts: the results and the highlights follow the entry
    // box after the same pause as the typing in the search window.
    mHitsPause = new QTimer(this);
    mHitsPause->setSingleShot(true);
    mHitsPause->setInterval(frmSearch::kPauseMs);
    connect(mHitsPause, &QTimer::timeout, this, [this] { showHitsInEntry(false); });
    connect(txtToday, &QPlainTextEdit::textChanged, this, [this] {
        mHitsPause->start();
        if (mSearch)
            mSearch->refreshSoon();
    });
    // A day reached any other way shows its hits only while the window is open.
    if (mCalendar)
        connect(mCalendar.get(), &clsCalendar::Change, this, [this] {
            if (!mOpeningFound)
                mShowingFound = false;
        });
    return mSearch;
}

void frmMain::mnuFind_Click()
{
    searchWindow()->showInFront();
}

void frmMain::mnuFindNext_Click()
{
    findAgain(1);
}

void frmMain::mnuFindPrev_Click()
{
    findAgain(-1);
}

void frmMain::findAgain(int direction)
{
    if (!mSearch || mSearch->query().isEmpty()) {
        mnuFind_Click();
        return;
    }
    // Said once the command is over: its end puts the idle text back.
    QString note;
    guarded([&] {
        const QList<int> days = mSearch->search().dayKeys();
        if (days.isEmpty()) {
            note = QStringLiteral("見つかりませんでした。");
            return;
        }
        const int current = mCalendar->CurDate();
        int target = 0;
        bool wrapped = false;
        if (direction > 0) {
            const auto next = std::upper_bound(days.begin(), days.end(), current);
            wrapped = next == days.end();
            target = wrapped ? days.front() : *next;
        } else {
            const auto next = std::lower_bound(days.begin(), days.end(), current);
            wrapped = next == days.begin();
            target = wrapped ? days.back() : *(next - 1);
        }
        mSearch->selectDay(target);
        openFoundDay(target);
        if (wrapped)
            note = direction > 0 ? QStringLiteral("先頭から検索しました。")
                                 : QStringLiteral("末尾から検索しました。");
    });
    if (!note.isEmpty())
        RunningMessage(note);
}

void frmMain::openFoundDay(int key)
{
    const bool opened = guarded([&] {
        // Found days are shown in the month grid display.
        if (!mnuDispMode[0]->isChecked()) {
            plan()->Save();
            list()->CloseList();
            greList->setVisible(false);
            for (int i = 0; i < 3; ++i)
                mnuDispMode[i]->setChecked(i == 0);
        }
        const QScopedValueRollback opening(mOpeningFound, true);
        mCalendar->setCurDate(key);
    });
    if (!opened)
        return;
    mShowingFound = true;
    // In front of the search window, so that what is typed next goes
    // where the user sees it.
    raise();
    activateWindow();
    if (txtToday->isVisible())
        txtToday->setFocus(Qt::OtherFocusReason);
    else
        greDate->setFocus(Qt::OtherFocusReason);
    showHitsInEntry(true);
}

void frmMain::showHitsInEntry(bool moveCursor)
{
    if (mHitsPause)
        mHitsPause->stop();
    QList<Hit> hits;
    if (mSearch && (mSearch->isVisible() || mShowingFound))
        hits = FindHits(mSearch->query(), clsPlan::BoxText(txtToday));
    QList<QTextEdit::ExtraSelection> marks;
    const QTextCharFormat look = HitFormat();
    for (const Hit& hit : hits.first(std::min(hits.size(), kMostHitsShown))) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(txtToday->document());
        mark.cursor.setPosition(hit.start);
        mark.cursor.setPosition(hit.end(), QTextCursor::KeepAnchor);
        mark.format = look;
        marks.append(mark);
    }
    txtToday->setExtraSelections(marks);
    if (moveCursor && !hits.isEmpty()) {
        // At the start of the first hit, so that typing goes in front of it.
        QTextCursor cursor = txtToday->textCursor();
        cursor.setPosition(hits.front().start);
        txtToday->setTextCursor(cursor);
        txtToday->centerCursor();
        txtToday->ensureCursorVisible();
    }
}

void frmMain::restoreMarkEntries()
{
    const bool on = RegRead(kRegKey, kMarkEntries, QStringLiteral("1")) != QLatin1String("0");
    menuItem(QStringLiteral("mnuMarkEntries"))->setChecked(on);
    greDate->setShowMarks(on);
}

void frmMain::mnuMarkEntries_Click()
{
    QAction* item = menuItem(QStringLiteral("mnuMarkEntries"));
    const bool on = !item->isChecked();
    item->setChecked(on);
    greDate->setShowMarks(on);
    RegWrite(kRegKey, kMarkEntries, on ? QStringLiteral("1") : QStringLiteral("0"));
}
