#include "ui/frmMain.h"

#include "entries/clsList.h"
#include "entries/clsPlan.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/KeyboardLocks.h"
#include "platform/RegControl.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"
#include "store/Engine.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "sync/JournalReplay.h"
#include "ui/AppIcon.h"
#include "ui/InputBlocker.h"
#include "ui/Placement.h"
#include "ui/frmAbout.h"
#include "ui/frmMergedDays.h"
#include "ui/frmOnThisDay.h"
#include "ui/frmSearch.h"
#include "ui/frmStatistics.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace {

frmMain* theMainWindow = nullptr;

// Calls back whenever a key that switches a keyboard lock goes down or up,
// wherever the keyboard is.
class LockKeyWatcher : public QObject
{
public:
    LockKeyWatcher(QObject* parent, std::function<void()> changed)
        : QObject(parent), mChanged(std::move(changed))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
        case Qt::Key_Kana_Lock:
        case Qt::Key_Kana_Shift:
        case Qt::Key_Katakana:
        case Qt::Key_Hiragana:
        case Qt::Key_Hiragana_Katakana:
            mChanged();
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void()> mChanged;
};

// Position and size of a control as first laid out, in twips.
void place(QWidget* w, double left, double top, double width, double height)
{
    w->setGeometry(TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
                   TwipsToPixelsY(height));
}

int registryNumber(const QString& name, const QString& defaultText)
{
    return LeadingWholeNumber(RegRead(kRegKey, name, defaultText)).value_or(0);
}

} // namespace

frmMain* MainWindow()
{
    return theMainWindow;
}

void setMainWindow(frmMain* window)
{
    theMainWindow = window;
}

QString StoreErrorText(const QString& causeText)
{
    return QStringLiteral("暦ファイルの読み書きに失敗しました。\r") + causeText;
}

QString StoreErrorText(const EngineError& error)
{
    return StoreErrorText(error.userText());
}

QString StoreErrorText(const std::exception& error)
{
    // Besides the store's own errors, only running out of memory is a cause
    // the user can do something about; anything else is said to be unknown,
    // with its English text in parentheses.
    const QString cause = dynamic_cast<const std::bad_alloc*>(&error)
                              ? QStringLiteral("メモリーが足りません。")
                              : QStringLiteral("原因は分かりません。");
    return StoreErrorText(cause + QStringLiteral("\r（") + QString::fromLocal8Bit(error.what()) +
                          QStringLiteral("）"));
}

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle);
    setWindowIcon(AppIcon());
    mInputBlocker = new InputBlocker(this);
    new LockKeyWatcher(this, [this] { updateKeyPanels(); });
    createControls();
    createMenus();

    // The entry is saved however the program ends, not only by closing.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &frmMain::Form_Unload);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
        if (mPlan && mLoaded && !mUnloaded) {
            // The session is ending: nothing is asked. An entry that cannot
            // be written is kept aside, and stays edited in case the session
            // goes on after all.
            try {
                mPlan->Save();
            } catch (const std::exception&) {
                keepUnsavedEntry();
            }
            SavePlacement();
        }
    });
}

frmMain::~frmMain()
{
    Form_Unload();
    // Windows of their own, not children: they go with this one.
    delete std::exchange(mSearch, nullptr);
    delete std::exchange(mOnThisDay, nullptr);
    delete std::exchange(mStatistics, nullptr);
    delete std::exchange(mMergedDays, nullptr);
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

clsList* frmMain::list()
{
    if (!mList)
        mList = std::make_unique<clsList>(greList, this);
    return mList.get();
}

clsPlan* frmMain::plan()
{
    if (!mPlan) {
        mPlan = std::make_unique<clsPlan>(txtToday, this);
        mPlan->onStateChange = [this] {
            entryStateChanged();
        };
        mPlan->mergeChanged = [this](int key, const QString& base, const QString& ours,
                                     const QString& theirs) {
            return mergeTypedEntry(key, base, ours, theirs);
        };
    }
    return mPlan.get();
}

void frmMain::createControls()
{
    mClient = new QWidget(this);
    mClient->setObjectName(QStringLiteral("client"));
    setCentralWidget(mClient);
    mClient->installEventFilter(this);
    const QFont font = JapaneseFixedFont(9);

    QStatusBar* stb = new QStatusBar(this);
    stb->setObjectName(QStringLiteral("stb"));
    stb->setSizeGripEnabled(true);
    stb->setFixedHeight(TwipsToPixelsY(315));
    mPanelText = new QLabel(stb);
    mPanelText->setObjectName(QStringLiteral("stbPanel1"));
    mPanelText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    mPanelDate = new QLabel(stb);
    mPanelDate->setObjectName(QStringLiteral("stbDate"));
    mPanelTime = new QLabel(stb);
    mPanelTime->setObjectName(QStringLiteral("stbTime"));
    stb->addWidget(mPanelText, 1);
    stb->addPermanentWidget(mPanelDate);
    stb->addPermanentWidget(mPanelTime);
    // The key panels: drawn normally while their state is on, greyed while
    // it is off.
    const struct
    {
        const char* name;
        const char16_t* text;
    } keys[5] = {{"stbCaps", u"CAPS"},
                 {"stbNum", u"NUM"},
                 {"stbIns", u"INS"},
                 {"stbScrl", u"SCRL"},
                 {"stbKana", u"ｶﾅ"}};
    for (int i = 0; i < 5; ++i) {
        mKeyPanels[i] = new QLabel(QString::fromUtf16(keys[i].text), stb);
        mKeyPanels[i]->setObjectName(QLatin1String(keys[i].name));
        mKeyPanels[i]->setAlignment(Qt::AlignCenter);
        mKeyPanels[i]->setEnabled(false);
        stb->addPermanentWidget(mKeyPanels[i]);
    }
    setStatusBar(stb);
    stb->installEventFilter(this);
    mClock = new QTimer(this);
    connect(mClock, &QTimer::timeout, this, [this] {
        updateClock();
        // Locks switched while another window had the keyboard.
        updateKeyPanels();
    });
    mClock->start(1000);
    updateClock();

    txtToday = new QPlainTextEdit(mClient);
    txtToday->setObjectName(QStringLiteral("txtToday"));
    txtToday->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtToday->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtToday->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtToday->setFont(font);
    txtToday->setToolTip(QStringLiteral("ｶﾚﾝﾀﾞｰ日付の内容"));
    // Tab walks the controls; Ctrl+Tab types a tab.
    txtToday->setTabChangesFocus(true);
    place(txtToday, 3300, 0, 4935, 5175);
    // Shown by the first day that loads: nothing may be typed before.
    txtToday->setVisible(false);
    connect(txtToday, &QPlainTextEdit::textChanged, this, &frmMain::txtToday_Change);

    greDate = new FlexGrid(mClient);
    greDate->setObjectName(QStringLiteral("greDate"));
    greDate->setRows(7);
    greDate->setCols(7);
    greDate->setFixedRows(1);
    greDate->setFixedCols(0);
    greDate->setFont(font);
    place(greDate, 60, 420, 3195, 2415);
    connect(greDate, &FlexGrid::RowColChange, this, &frmMain::greDate_RowColChange);
    connect(greDate, &FlexGrid::MouseDown, this, &frmMain::greDate_MouseDown);
    connect(greDate, &FlexGrid::DblClick, this, &frmMain::greDate_DblClick);

    txtYm = new QLineEdit(mClient);
    txtYm->setObjectName(QStringLiteral("txtYm"));
    txtYm->setReadOnly(true);
    txtYm->setAlignment(Qt::AlignCenter);
    txtYm->setFont(font);
    txtYm->setToolTip(QStringLiteral("ｶﾚﾝﾀﾞｰの年月"));
    place(txtYm, 60, 60, 1095, 315);

    const struct
    {
        const char16_t* caption;
        const char16_t* tip;
        double left;
    } buttons[3] = {
        {u"<", u"先月に移動", 1620}, {u"@", u"今日に戻る", 1980}, {u">", u"来月に移動", 2340}};
    for (int i = 0; i < 3; ++i) {
        cmdYm[i] = new QPushButton(QString::fromUtf16(buttons[i].caption), mClient);
        cmdYm[i]->setObjectName(QStringLiteral("cmdYm_%1").arg(i));
        cmdYm[i]->setToolTip(QString::fromUtf16(buttons[i].tip));
        place(cmdYm[i], buttons[i].left, 60, 315, 315);
        connect(cmdYm[i], &QPushButton::clicked, this, [this, i] { cmdYm_Click(i); });
    }

    greList = new FlexGrid(mClient);
    greList->setObjectName(QStringLiteral("greList"));
    greList->setRows(2);
    greList->setCols(2);
    greList->setFixedRows(1);
    greList->setFixedCols(0);
    greList->setFont(font);
    greList->setToolTip(QStringLiteral("一覧表"));
    greList->setWordWrap(true);
    place(greList, 0, 0, 8235, 2835);
    greList->setVisible(false);

    cmdJump = new QPushButton(QStringLiteral("J"), mClient);
    cmdJump->setObjectName(QStringLiteral("cmdJump"));
    cmdJump->setToolTip(QStringLiteral("年月ｼﾞｬﾝﾌﾟ"));
    place(cmdJump, 1140, 60, 315, 315);
    connect(cmdJump, &QPushButton::clicked, this, &frmMain::cmdJump_Click);

    lstJump = new QListWidget(mClient);
    lstJump->setObjectName(QStringLiteral("lstJump"));
    lstJump->setToolTip(QStringLiteral("年月ｼﾞｬﾝﾌﾟ"));
    lstJump->setFont(font);
    place(lstJump, 60, 360, 1395, 1680);
    lstJump->setVisible(false);
    connect(lstJump, &QListWidget::currentRowChanged, this, [this] {
        if (!mFilling)
            lstJump_Click();
    });
    connect(lstJump, &QListWidget::itemClicked, this, [this] { lstJump_Click(); });

    // The list is drawn above the grid when shown, the jump list above all.
    greList->raise();
    lstJump->raise();

    setTabOrder(txtToday, greDate);
    setTabOrder(greDate, txtYm);
    setTabOrder(txtYm, cmdYm[0]);
    setTabOrder(cmdYm[0], cmdYm[2]);
    setTabOrder(cmdYm[2], cmdYm[1]);
    setTabOrder(cmdYm[1], greList);
    setTabOrder(greList, cmdJump);
    setTabOrder(cmdJump, lstJump);
    updateKeyPanels();

    // The window sees the keys of its controls first (eventFilter): Ctrl+C
    // is the copy command wherever the focus is, since the controls' own copy
    // would leave the clipboard alone when nothing is highlighted; Insert and
    // Ctrl+Tab belong to the entry box, Escape to the jump list.
    for (QWidget* w : {static_cast<QWidget*>(txtToday), static_cast<QWidget*>(greDate),
                       static_cast<QWidget*>(txtYm), static_cast<QWidget*>(greList),
                       static_cast<QWidget*>(lstJump)})
        w->installEventFilter(this);

    resize(TwipsToPixelsX(8280), TwipsToPixelsY(5505));
}

void frmMain::updateKeyPanels()
{
    const KeyboardLocks locks = ReadKeyboardLocks();
    const bool on[5] = {locks.caps, locks.num, txtToday->overwriteMode(), locks.scroll, locks.kana};
    for (int i = 0; i < 5; ++i)
        if (mKeyPanels[i]->isEnabled() != on[i])
            mKeyPanels[i]->setEnabled(on[i]);
}

void frmMain::updateClock()
{
    const QDateTime now = Clock::Now();
    mPanelDate->setText(now.toString(QStringLiteral("yyyy/MM/dd")));
    mPanelTime->setText(now.toString(QStringLiteral("H:mm")));
}

// ---- lifecycle -------------------------------------------------------------

void frmMain::Form_Load()
{
    SetBusy(true);
    mCalendar = std::make_unique<clsCalendar>(greDate, txtYm, this);
    connect(mCalendar.get(), &clsCalendar::Change, this, &frmMain::mCalendar_Change);
    // A calendar replaced on disk takes back what this run wrote; the
    // report comes inside the store operation that found it.
    JournalReplay::install();
    JournalReplay::instance().takeReport();
    connect(&JournalReplay::instance(), &JournalReplay::replayed, this, &frmMain::takeReplayReport,
            Qt::QueuedConnection);

    restorePlacement();
    mLoaded = true;
    ArrangeControls();

    mnuSpeed->setChecked(gOpenFlag);
    mnuStartupCopy->setChecked(
        FileExists(ShellFolder(QStringLiteral("Startup")) + QLatin1Char('/') + kShortcutName));
    mnuDisktopCopy->setChecked(
        FileExists(ShellFolder(QStringLiteral("Desktop")) + QLatin1Char('/') + kShortcutName));
    mnuEncrypt->setChecked(HeldCalendarKeys() != nullptr);
    mnuDispMode[0]->setChecked(true);
    restoreDisplayOptions();
    restoreMarkEntries();
    greList->setVisible(false);

    showFirstMonth();

    SetBusy(false);
    DoEvents();
}

void frmMain::restorePlacement()
{
    const int state = registryNumber(QStringLiteral("WindowState"), QStringLiteral("0"));
    const int left = registryNumber(QStringLiteral("Left"), QStringLiteral("0"));
    const int top = registryNumber(QStringLiteral("Top"), QStringLiteral("0"));
    const int width = registryNumber(QStringLiteral("Width"), QStringLiteral("6000"));
    const int height = registryNumber(QStringLiteral("Height"), QStringLiteral("3500"));

    // Values that cannot be right (bigger than the screen, off every screen)
    // are corrected rather than obeyed; the layout pass writes the corrected
    // ones back.
    const WindowPlacement fit =
        FitPlacement({QRect(TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
                            TwipsToPixelsY(height)),
                      state},
                     ScreenAreas(), QSize(TwipsToPixelsX(6000), TwipsToPixelsY(3500)));

    setWindowState(Qt::WindowNoState);
    move(fit.outer.topLeft());
    // The stored size is the outer size; the frame is added back by the
    // window system, and corrected once it is known (see fixOuterSize).
    resize(fit.outer.size());
    mWantedOuter = fit.outer.size();
    if (fit.state == 1)
        mRestoredState = Qt::WindowMinimized;
    else if (fit.state == 2)
        mRestoredState = Qt::WindowMaximized;
    else
        mRestoredState = Qt::WindowNoState;
    setWindowState(mRestoredState);
}

void frmMain::showRestored()
{
    setWindowState(mRestoredState);
    show();
    fixOuterSize();
    if (txtToday->isVisible())
        txtToday->setFocus(Qt::OtherFocusReason);
    else
        greDate->setFocus(Qt::OtherFocusReason);
}

void frmMain::fixOuterSize()
{
    // The window manager is told the smallest outer size, so that a drag
    // stops there; the frame counts, so this waits until it is known.
    const QSize frame = frameGeometry().size() - size();
    const QSize minimum = QSize(TwipsToPixelsX(6000), TwipsToPixelsY(3500)) - frame;
    if (minimumSize() != minimum)
        setMinimumSize(minimum);
    if (!mWantedOuter.isValid() || windowState() != Qt::WindowNoState || !isVisible())
        return;
    if (frame.isNull() || frame == QSize(0, 0))
        return;
    const QSize wanted = mWantedOuter - frame;
    mWantedOuter = QSize();
    if (wanted != size())
        resize(wanted);
}

void frmMain::Form_Unload()
{
    if (mUnloaded || !mLoaded)
        return;
    mUnloaded = true;
    if (mPlan) {
        try {
            mPlan->Save();
        } catch (const std::exception&) {
            // Nothing can be asked any more on this path.
            keepUnsavedEntry();
        }
    }
    SavePlacement();
    if (mSearch)
        mSearch->hide();
    for (QWidget* lookingBack :
         {static_cast<QWidget*>(mOnThisDay), static_cast<QWidget*>(mStatistics)})
        if (lookingBack)
            lookingBack->hide();
    if (mMergedDays)
        mMergedDays->hide();
    try {
        gDatabase.close();
    } catch (...) {
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (mLoaded && !mUnloaded && mPlan && mPlan->Dirty) {
        // A pending entry that cannot be written is not dropped silently.
        bool saved = false;
        QString problem;
        try {
            mPlan->Save();
            saved = true;
        } catch (const EngineError& e) {
            problem = StoreErrorText(e);
        } catch (const std::exception& e) {
            problem = StoreErrorText(e);
        }
        if (!saved) {
            Running(QString());
            if (AskYesNo(problem +
                             QStringLiteral("\r入力した予定は保存されていません。終了しますか？"),
                         Dialogs::No) == Dialogs::No) {
                event->ignore();
                return;
            }
            mPlan->Dirty = false;
        }
    }
    Form_Unload();
    event->accept();
    QCoreApplication::quit();
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    fixOuterSize();
    ArrangeControls();
}

void frmMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // A move is no layout pass: where the window ended up is written when
    // it unloads.
    fixOuterSize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        ArrangeControls();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    if (watched == mClient && event->type() == QEvent::Resize) {
        layoutControls();
    } else if (watched == statusBar() && event->type() == QEvent::Resize) {
        givePanelTextRoom();
    } else if (watched == lstJump && event->type() == QEvent::FocusOut) {
        // The list goes when another control takes the keyboard, not when
        // the window is left for a moment or a menu opens over it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            reason != Qt::MenuBarFocusReason)
            lstJump_LostFocus();
    } else if (watched == lstJump && key && key->key() == Qt::Key_Escape) {
        // Put away without a choice: the calendar stays where it is.
        putAwayJumpList();
        return true;
    } else if (watched == txtToday && key && key->key() == Qt::Key_Insert &&
               key->modifiers() == Qt::NoModifier) {
        txtToday->setOverwriteMode(!txtToday->overwriteMode());
        updateKeyPanels();
        return true;
    } else if (watched == txtToday && key && key->key() == Qt::Key_Tab &&
               key->modifiers() == Qt::ControlModifier) {
        txtToday->insertPlainText(QStringLiteral("\t"));
        return true;
    } else if (event->type() == QEvent::ShortcutOverride &&
               static_cast<QKeyEvent*>(event)->keyCombination() ==
                   QKeyCombination(Qt::CTRL, Qt::Key_C)) {
        // Not taken by the control, so the shortcut of ｺﾋﾟｰ runs.
        event->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::ArrangeControls()
{
    if (!mLoaded || mUnloaded)
        return;
    SavePlacement();
    if (windowState() & Qt::WindowMinimized)
        return;
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QSize outer = frameGeometry().size();
        const QSize minimum(TwipsToPixelsX(6000), TwipsToPixelsY(3500));
        if (outer.width() < minimum.width() || outer.height() < minimum.height())
            resize(size() + (outer.expandedTo(minimum) - outer));
    }
    layoutControls();
}

void frmMain::layoutControls()
{
    const int H = mClient->height();
    const int W = mClient->width();
    greDate->setGeometry(greDate->x(), greDate->y(), greDate->width(),
                         std::max(0, H - greDate->y()));
    txtToday->setGeometry(txtToday->x(), 0, std::max(0, W - txtToday->x()), H);
    greList->setGeometry(0, 0, W, H);
    if (mLoaded)
        list()->Resize();
}

void frmMain::SavePlacement()
{
    int state = 0;
    if (windowState() & Qt::WindowMinimized)
        state = 1;
    else if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        state = 2;
    QList<QPair<QString, QString>> values = {
        {QStringLiteral("WindowState"), QString::number(state)}};
    if (state == 0) {
        // Bounds only in the normal state, so that they are the ones a
        // minimized or maximized window returns to.
        const QRect outer = frameGeometry();
        values.append({QStringLiteral("Top"), RegNumberText(PixelsToTwipsY(outer.top()))});
        values.append({QStringLiteral("Left"), RegNumberText(PixelsToTwipsX(outer.left()))});
        values.append({QStringLiteral("Height"), RegNumberText(PixelsToTwipsY(outer.height()))});
        values.append({QStringLiteral("Width"), RegNumberText(PixelsToTwipsX(outer.width()))});
    }
    RegWriteValues(kRegKey, values);
}

// ---- busy state ------------------------------------------------------------

void frmMain::Running(const QString& Msg)
{
    if (Msg.isEmpty())
        endPhase();
    else
        beginPhase(Msg);
}

void frmMain::beginPhase(const QString& text)
{
    mPhases.append(text);
    // Input is held off while busy; the window is not disabled, which would
    // grey it out and take the keyboard focus away at every day change.
    HoldInput(true);
    mInputBlocker->setEngaged(true);
    if (!text.isEmpty()) {
        SetBusy(true);
        RunningMessage(text);
    }
}

void frmMain::endPhase()
{
    if (mPhases.isEmpty())
        return;
    const QString text = mPhases.takeLast();
    HoldInput(false);
    // Only the outermost end lets the user's input in again: what was queued
    // meanwhile runs at the next DoEvents, or when the event loop takes over.
    if (mPhases.isEmpty())
        mInputBlocker->setEngaged(false);
    if (!text.isEmpty()) {
        SetBusy(false);
        QString shown;
        for (const QString& outer : std::as_const(mPhases))
            if (!outer.isEmpty())
                shown = outer;
        // Between busy texts the panel says what the window waits for.
        RunningMessage(shown.isEmpty() ? idleMessage() : shown);
    }
}

bool frmMain::isBusy() const
{
    return !mPhases.isEmpty();
}

void frmMain::RunningMessage(const QString& Msg)
{
    setPanelText(Msg);
    DoEvents();
}

void frmMain::setPanelText(const QString& text)
{
    mPanelText->setText(text);
    // Also on hovering, for a text longer than all the room there is.
    mPanelText->setToolTip(text);
    givePanelTextRoom();
}

void frmMain::givePanelTextRoom()
{
    // In a window of the default width the panel has room for eight
    // characters: the key states give way to a longer text, then the time,
    // then the date, and come back once it is shorter or the window wider.
    QWidget* const yielding[] = {mKeyPanels[4], mKeyPanels[3], mKeyPanels[2], mKeyPanels[1],
                                 mKeyPanels[0], mPanelTime,    mPanelDate};
    QLayout* layout = statusBar()->layout();
    auto relayout = [layout] {
        layout->invalidate();
        layout->activate();
    };
    const int needed = mPanelText->fontMetrics().horizontalAdvance(mPanelText->text());
    for (QWidget* panel : yielding)
        panel->setVisible(true);
    relayout();
    for (QWidget* panel : yielding) {
        if (mPanelText->contentsRect().width() >= needed)
            break;
        panel->setVisible(false);
        relayout();
    }
}

bool frmMain::guarded(const std::function<void()>& command)
{
    // The whole command is one hold: nothing the user does meanwhile runs
    // between its steps (between saving one day and loading the next, say).
    beginPhase(QString());
    const auto end = qScopeGuard([this] { endPhase(); });
    ++mCommandDepth;
    QString problem;
    try {
        command();
    } catch (const EngineError& e) {
        problem = StoreErrorText(e);
    } catch (const EnvelopeError& e) {
        problem = StoreErrorText(e.text());
    } catch (const std::exception& e) {
        problem = StoreErrorText(e);
    }
    // Busy phases and suspended drawing have ended with their scopes.
    if (!problem.isEmpty())
        ShowWarning(problem);
    // Still inside the hold: what the user does next finds the calendar back.
    if (--mCommandDepth == 0)
        afterCommand();
    return problem.isEmpty();
}
