#pragma once

#include "platform/Running.h"

#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class EngineError;
class FlexGrid;
class InputBlocker;
class RetryTimer;
class clsCalendar;
class clsList;
class clsPlan;
class DiaryIndex;
class InsightFeed;
class frmOnThisDay;
class frmMergedDays;
class frmSearch;
class frmStatistics;

// An edited entry is saved this long after the last key...
constexpr int kQuietSaveDelayMs = 2000;
// ... and, while the keys keep coming, once its first unsaved change is this
// old: the write then has half a second to be on disk before what was typed
// five seconds ago could be lost.
constexpr int kTypingSaveLimitMs = 4500;

// The main window: the month grid with its caption and buttons, the entry box
// of the selected day, the list grid, the menus and the status bar.
//
// The class is one window; its code is split by concern. frmMain.cpp holds
// the window's lifecycle, layout and busy state; MainMenu.cpp builds the
// menu bar from its one table; each family of command handlers has a file of
// its own (NavigationCommands.cpp, EditCommands.cpp, ...), named in the
// groups below.
class frmMain : public QMainWindow, public RunningHost
{
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Runs once before the window is first shown: creates the calendar view,
    // restores the placement, opens the shared database under speed priority
    // and selects today.
    void Form_Load();
    // Saves a pending entry and the placement and closes the shared database.
    // Runs once, whichever way the program ends. An entry that cannot be
    // written goes to a recovery file.
    void Form_Unload();
    // Form_Unload for a process that is ending inside exit() (the display
    // was lost): no busy phase, no pending window messages run.
    void unloadAtExit();
    bool isUnloaded() const { return mUnloaded; }

    // A non-empty message starts a busy phase: the window takes no input,
    // the pointer is the hourglass and the message is in the status bar's
    // first panel. The empty text ends the innermost phase. Phases nest: the
    // panel shows the innermost one's message, and input comes back when the
    // outermost has ended.
    void Running(const QString& Msg) override;
    void RunningMessage(const QString& Msg);
    // True during a busy phase or a command: input to the window waits in
    // the queue, and what reaches the window anyway is dropped.
    bool isBusy() const;

    clsCalendar* calendar() const { return mCalendar.get(); }
    clsPlan* plan();
    clsList* list();

    // Shows the window in the state restored by Form_Load.
    void showRestored();

    // The search window, made on first use; it holds the days found.
    frmSearch* searchWindow();
    // The diary in memory, read once and following every save, which the
    // search and the windows that look back share (made on first use).
    DiaryIndex* diaryIndex();
    // The windows of 過去の同じ日 and 記録, made on first use.
    frmOnThisDay* onThisDayWindow();
    frmStatistics* statisticsWindow();

    // Recovery files that earlier runs left in the temporary folder go to
    // the recovery folder as soon as it can be written (Safeguards.cpp).
    void moveStrandedRecoveryFiles();

    // Calendars from another computer (SyncCommands.cpp). Looks for conflict
    // copies of the calendar beside it and offers to take each in: at
    // start-up, and whenever the calendar's folder changes. A copy the user
    // declined, or one that cannot be read, is not offered again in this
    // run. Put off while a command, a store operation or a box is open.
    void TakeInConflictCopies();
    // The window of the days that hold both computers' texts; nullptr until
    // a merge kept both.
    frmMergedDays* mergedDaysWindow() const { return mMergedDays; }

    // How long after the last change an edited entry is saved while typing.
    void setQuietSaveDelay(int ms) { mQuietSaveDelayMs = ms; }
    // How long an edited entry may stay unsaved while the keys keep coming.
    void setTypingSaveLimit(int ms) { mTypingSaveLimitMs = ms; }

public slots:
    // Navigation (NavigationCommands.cpp)
    void cmdYm_Click(int Index);
    void cmdJump_Click();
    void lstJump_Click();
    void lstJump_LostFocus();
    void txtToday_Change();
    void greDate_DblClick();
    void greDate_MouseDown(int Button, int Shift, double X, double Y);
    void greDate_RowColChange();
    void mCalendar_Change(int OldDate, int NewDate);

    // Edit commands (EditCommands.cpp)
    void mnuEdit_Click();
    void mnuCopy_Click();
    void mnuChange_Click();
    void mnuChangeAll_Click();
    void mnuWeekDayAll_Click();
    void mnuNotWeekDayAll_Click();
    void mnuWeekAll_Click();
    void mnuWeekNotAll_Click();
    void mnuPlanAll_Click();
    void mnuPublicHolidays_Click();

    // Range, display and exit (RangeDisplayCommands.cpp)
    void mnuDateRange_Click();
    // Export, import and printing (ExchangeCommands.cpp)
    void mnuExport_Click();
    void mnuImport_Click();
    void mnuPrint_Click();
    // The export window for the given days (all, chosen in the window, when
    // empty).
    void ShowExport(const QList<int>& days);
    void mnuDispMode_Click(int Index);
    void mnuExit_Click();

    // Display options (DisplayOptions.cpp)
    void mnuWordWrap_Click();

    // Restore from a backup (RestoreCommands.cpp)
    void mnuRestore_Click();

    // Environment options (OptionCommands.cpp)
    void mnuStartupCopy_Click();
    void mnuDisktopCopy_Click();
    void mnuSpeed_Click();

    // Encryption of the calendar (EncryptionCommands.cpp)
    void mnuEncrypt_Click();

    // Help and About (HelpCommands.cpp)
    void mnuHelpCategory_Click();
    void mnuAbout_Click();

    // Finding and the marks of days with entries (SearchCommands.cpp)
    void mnuFind_Click();
    void mnuFindNext_Click();
    void mnuFindPrev_Click();
    void mnuMarkEntries_Click();

    // Looking back (InsightCommands.cpp)
    void mnuOnThisDay_Click();
    void mnuStatistics_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void ArrangeControls();
    void layoutControls();
    void fixOuterSize();
    void SavePlacement();
    void restorePlacement();
    void updateClock();
    void updateKeyPanels();
    // The boundary of every command: input is held until it has finished,
    // a store error ends in a warning, and the window stays usable (busy
    // phases end by their own scopes).
    bool guarded(const std::function<void()>& command);
    // A busy phase showing `text`, or with an empty text a command's hold
    // that shows nothing.
    void beginPhase(const QString& text);
    void endPhase();
    // Hides the jump list; when it had the keyboard, the month grid (the
    // jump button while the grid is hidden) takes it.
    void putAwayJumpList();
    void focusMonthGrid();
    // A menu item of the menu bar, by its name.
    QAction* menuItem(const QString& name) const { return mMenuItems.value(name); }

    // The Display menu's options as the settings hold them (DisplayOptions.cpp).
    void restoreDisplayOptions();
    void setEntryWordWrap(bool on);

    // Before a command that cannot be undone, after its question: a backup
    // of the calendar (Safeguards.cpp). When none can be made the user is asked whether to go
    // on without one; false when not (the command then changes nothing).
    bool BackupBeforeChange();

    // Saving while typing (Safeguards.cpp): an edited entry is written
    // quietly a moment after the last change, and while the keys keep
    // coming, once it has stayed unsaved for the typing save limit; not
    // during a busy phase, a store operation or a modal box. Text that an
    // input method is still composing is left alone. One that cannot be
    // written is tried again (retryTimer) and kept in a recovery file
    // meanwhile, on the same schedule.
    void startQuietSave();
    void quietSave();
    // An edited entry that could not be written, when the program ends
    // without asking: kept in a recovery file.
    void keepUnsavedEntry();
    // The entry editor's state changed: the retries, the message panel and
    // the notices follow it.
    void entryStateChanged();
    void showConflictNotices();
    RetryTimer* retryTimer();
    void retry();
    // After the outermost command: a calendar that moved away from the day
    // whose entry is in the box (its save failed) goes back to that day.
    void afterCommand();

    // The calendar without a day to edit (CalendarStates.cpp): today's month
    // shown at load, waited for while another program holds the file
    // locked; the message panel's text between busy phases.
    void showFirstMonth();
    void waitForFile(bool waiting);
    QString idleMessage() const;
    void showIdleMessage();
    // The first status panel's text, whole: as its tooltip too, and the
    // indicator panels give way while it would be cut.
    void setPanelText(const QString& text);
    void givePanelTextRoom();

    // Finding (SearchCommands.cpp): the day after (+1) or before (-1) the
    // current one with a hit, round past the last; a day chosen in the
    // search window, opened in the month grid display with its hits
    // highlighted in the entry box and the cursor at the first.
    void findAgain(int direction);
    void openFoundDay(int key);
    void showHitsInEntry(bool moveCursor);
    void restoreMarkEntries();

    // Looking back (InsightCommands.cpp): the counts the windows share, the
    // entry box they keep clear of (empty while hidden), and a day chosen in
    // them, opened in the month grid display with the keyboard in the entry
    // box.
    InsightFeed* insightFeed();
    QRect entryBoxOnScreen() const;
    void openLookedBackDay(int key);
    // Calendars from another computer (SyncCommands.cpp): what the store
    // wrote back into a calendar replaced on disk, said in the message panel
    // (the days that hold both texts listed in 「統合した日」); the typed
    // entry merged with the file's text of its day; one conflict copy taken
    // in; the folder watched for copies and replacements.
    void takeReplayReport();
    std::optional<QString> mergeTypedEntry(int key, const QString& base, const QString& ours,
                                           const QString& theirs);
    void takeInCopy(const QString& path);
    void showMergedDays(const QList<int>& keys);
    void openMergedDay(int key);
    void calendarFolderChanged();
    void setSyncMessage(const QString& text);
    // The box and the month grid after days were written under them.
    void showWrittenDays();
    // True while a command, a store operation or a box is open: work that
    // comes from outside waits.
    bool isOccupied() const;

    // The parts of 暗号化 (EncryptionCommands.cpp).
    void turnEncryptionOn();
    void changePassword();
    void renewKeys();
    void turnEncryptionOff();

    // The bulk day-kind commands: question, busy phase, store call, redraw.
    void changeDayKinds(const QString& question, const QString& progress,
                        const std::function<void()>& storeCall);

    std::unique_ptr<clsCalendar> mCalendar;
    std::unique_ptr<clsPlan> mPlan;
    std::unique_ptr<clsList> mList;

    QWidget* mClient = nullptr;
    QPlainTextEdit* txtToday = nullptr;
    FlexGrid* greDate = nullptr;
    QLineEdit* txtYm = nullptr;
    QPushButton* cmdYm[3] = {};
    FlexGrid* greList = nullptr;
    QPushButton* cmdJump = nullptr;
    QListWidget* lstJump = nullptr;
    QLabel* mPanelText = nullptr;
    QLabel* mPanelDate = nullptr;
    QLabel* mPanelTime = nullptr;
    // CAPS, NUM, INS, SCRL and ｶﾅ.
    QLabel* mKeyPanels[5] = {};
    QTimer* mClock = nullptr;
    QTimer* mQuietSave = nullptr;
    QTimer* mTypingSave = nullptr;
    RetryTimer* mRetry = nullptr;
    int mQuietSaveDelayMs = kQuietSaveDelayMs;
    int mTypingSaveLimitMs = kTypingSaveLimitMs;
    frmSearch* mSearch = nullptr;
    DiaryIndex* mIndex = nullptr;
    InsightFeed* mInsight = nullptr;
    frmOnThisDay* mOnThisDay = nullptr;
    frmStatistics* mStatistics = nullptr;
    frmMergedDays* mMergedDays = nullptr;
    // What the last merge with another computer's calendar did, for the
    // message panel for a while.
    QString mSyncMessage;
    QTimer* mSyncMessageTimer = nullptr;
    // Conflict copies not to offer again in this run: declined, or unreadable.
    QSet<QString> mCopiesPassed;
    bool mTakingInCopies = false;
    QTimer* mHitsPause = nullptr;
    // The day shown was opened from the search: its hits stay highlighted
    // while the search window is closed.
    bool mShowingFound = false;
    bool mOpeningFound = false;

    QMenu* mnuEdit = nullptr;
    QHash<QString, QAction*> mMenuItems;
    QAction* mnuChange = nullptr;
    QAction* mnuChangeAll = nullptr;
    QAction* mnuSpeed = nullptr;
    QAction* mnuStartupCopy = nullptr;
    QAction* mnuDisktopCopy = nullptr;
    QAction* mnuEncrypt = nullptr;
    QAction* mnuDispMode[3] = {};

    bool mLoaded = false;
    bool mUnloaded = false;
    bool mFilling = false;
    // Commands under way, nested; a save that failed in the outermost one;
    // the calendar going back to the entry's day.
    int mCommandDepth = 0;
    bool mSaveFailed = false;
    bool mReturning = false;
    bool mWaitingForFile = false;
    Qt::WindowStates mRestoredState = Qt::WindowNoState;
    InputBlocker* mInputBlocker = nullptr;
    // The busy phases and command holds under way, innermost last: each
    // one's message, empty for a hold.
    QStringList mPhases;
    QSize mWantedOuter;
};

// The program's one main window, created by start-up; nullptr before that and
// after it was unloaded.
frmMain* MainWindow();
void setMainWindow(frmMain* window);

// The warning shown when a command meets a store error, `causeText` after
// its first line.
QString StoreErrorText(const QString& causeText);
// The same with the error's likely cause in Japanese, the file and the
// engine's own text in parentheses.
QString StoreErrorText(const EngineError& error);
// The same for any other failure of a command.
QString StoreErrorText(const std::exception& error);
