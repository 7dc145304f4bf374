#include "ui/frmSearch.h"

#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/Engine.h"
#include "store/FileSession.h"
#include "ui/AppIcon.h"
#include "ui/FoundDaysModel.h"
#include "ui/HitTextDelegate.h"
#include "ui/PlaceBeside.h"
#include "ui/Placement.h"
#include "ui/RetryTimer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Settings of the window, under the program's key.
const QString kKanaAlike = QStringLiteral("FindKanaAlike");
const QString kLeft = QStringLiteral("FindLeft");
const QString kTop = QStringLiteral("FindTop");
const QString kWidth = QStringLiteral("FindWidth");
const QString kHeight = QStringLiteral("FindHeight");
// "1" once the user has moved the window: FindLeft and FindTop hold where.
const QString kMoved = QStringLiteral("FindMoved");

bool isReturn(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

frmSearch::frmSearch(QWidget* owner, Host host)
    : QDialog(nullptr, Qt::Window), mOwner(owner), mHost(std::move(host))
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("検索"));
    setWindowIcon(AppIcon());
    setModal(false);
    setSizeGripEnabled(true);
    mIndex = mHost.index ? mHost.index : new DiaryIndex(this);
    mModel = new FoundDaysModel(this);
    const QFont font = JapaneseFixedFont(9);

    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setFont(font);
    txtFind->setToolTip(QStringLiteral("検索する文字列（空白で区切ると全てを含む日、"
                                       "\"\" で囲むと空白も含めて検索）"));
    chkKana = new QCheckBox(QStringLiteral("ひらがなとカタカナを区別しない"), this);
    chkKana->setObjectName(QStringLiteral("chkKana"));
    chkKana->setChecked(RegRead(kRegKey, kKanaAlike, QStringLiteral("1")) != QLatin1String("0"));
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    // A line of its own that wraps: a long message never widens the window.
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblMessage->setVisible(false);
    cmdExport = new QPushButton(QStringLiteral("結果をｴｸｽﾎﾟｰﾄ"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setAutoDefault(false);
    cmdExport->setEnabled(false);

    lstFound = new QTreeView(this);
    lstFound->setObjectName(QStringLiteral("lstFound"));
    lstFound->setFont(font);
    lstFound->setModel(mModel);
    lstFound->setRootIsDecorated(false);
    lstFound->setUniformRowHeights(true);
    lstFound->setAllColumnsShowFocus(true);
    lstFound->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFound->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFound->setItemDelegateForColumn(FoundDaysModel::LineColumn,
                                       new HitTextDelegate(mModel, lstFound));
    // Column widths from the font, never from the rows: a result of a
    // hundred years is not measured.
    QHeaderView* header = lstFound->header();
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    const QFontMetrics metrics(font);
    header->resizeSection(FoundDaysModel::DateColumn,
                          metrics.horizontalAdvance(QStringLiteral("0000/00/00(月)")) + 16);
    header->resizeSection(FoundDaysModel::HitsColumn,
                          metrics.horizontalAdvance(QStringLiteral("件数0")) + 16);

    auto* options = new QHBoxLayout;
    options->addWidget(chkKana);
    options->addStretch(1);
    options->addWidget(lblCount);
    options->addWidget(cmdExport);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtFind);
    layout->addLayout(options);
    layout->addWidget(lblMessage);
    layout->addWidget(lstFound, 1);
    resize(TwipsToPixelsX(7800), TwipsToPixelsY(5400));

    mPause = new QTimer(this);
    mPause->setSingleShot(true);
    mPause->setInterval(kPauseMs);
    connect(mPause, &QTimer::timeout, this, &frmSearch::searchAfterPause);
    connect(txtFind, &QLineEdit::textChanged, this, [this] {
        mStale = true;
        mPause->start();
    });
    connect(chkKana, &QCheckBox::toggled, this, [this](bool on) {
        RegWrite(kRegKey, kKanaAlike, on ? QStringLiteral("1") : QStringLiteral("0"));
        mStale = true;
        searchAfterPause();
    });
    connect(mIndex, &DiaryIndex::entriesChanged, this, &frmSearch::refreshSoon);
    connect(lstFound, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit dayChosen(mModel->dayOf(index.row())); });
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        if (mStale)
            searchAfterPause();
        if (!mModel->results().days.isEmpty())
            emit exportRequested(mModel->results().dayKeys());
    });
    txtFind->installEventFilter(this);
    lstFound->installEventFilter(this);

    const struct
    {
        QKeyCombination key;
        int direction;
    } findAgain[] = {{QKeyCombination(Qt::Key_F3), 1},
                     {QKeyCombination(Qt::SHIFT, Qt::Key_F3), -1}};
    for (const auto& [key, direction] : findAgain) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(key));
        addAction(action);
        connect(action, &QAction::triggered, this,
                [this, direction = direction] { emit findAgainRequested(direction); });
    }
}

frmSearch::~frmSearch() = default;

SearchQuery frmSearch::query() const
{
    return SearchQuery(txtFind->text(), chkKana->isChecked());
}

const SearchResults& frmSearch::results() const
{
    return mModel->results();
}

void frmSearch::showInFront()
{
    if (!isVisible()) {
        mFocusBefore = QApplication::focusWidget();
        place();
        show();
    }
    raise();
    activateWindow();
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
    if (mStale)
        searchAfterPause();
    if (!mIndex->isCurrent()) {
        // The diary is read once the window is drawn, before the first key
        // is typed, so that no pause after a key waits for it.
        QTimer::singleShot(0, this, [this] {
            try {
                const QuickAttempt quick;
                mIndex->prepare();
            } catch (const EngineError&) {
                // Said by the search that needs it.
            }
        });
    }
}

void frmSearch::refreshSoon()
{
    mStale = true;
    if (isVisible())
        mPause->start();
}

const SearchResults& frmSearch::search()
{
    mPause->stop();
    const SearchQuery what = query();
    mModel->setResults(mIndex->search(what, what.isEmpty() ? std::nullopt : mHost.typedEntry()));
    mStale = false;
    showMessage(QString());
    showCount();
    selectDay(mHost.currentDay());
    emit searchChanged();
    return mModel->results();
}

void frmSearch::searchAfterPause()
{
    // Not in the middle of a store operation that lets window messages run.
    if (FileSession::depth() > 0) {
        mPause->start();
        return;
    }
    try {
        // The typing never waits on a calendar that another program holds:
        // the search is tried again until it is free.
        const QuickAttempt quick;
        search();
    } catch (const EngineError& e) {
        mModel->setResults({});
        lblCount->clear();
        cmdExport->setEnabled(false);
        showMessage(QStringLiteral("暦ファイルを読めませんでした。") + e.causeText());
        if (e.cause() == EngineError::Cause::InUse) {
            if (!mRetry) {
                mRetry = new RetryTimer(this);
                connect(mRetry, &RetryTimer::attempt, this, [this] {
                    if (isVisible())
                        searchAfterPause();
                });
            }
            mRetry->start();
        }
    }
}

void frmSearch::showMessage(const QString& text)
{
    lblMessage->setText(text);
    lblMessage->setVisible(!text.isEmpty());
    if (text.isEmpty() && mRetry)
        mRetry->stop();
}

void frmSearch::showCount()
{
    const SearchResults& found = mModel->results();
    lblCount->setText(
        query().isEmpty()
            ? QString()
            : QStringLiteral("%1日・%2件").arg(found.days.size()).arg(found.hitCount()));
    cmdExport->setEnabled(!found.days.isEmpty());
}

void frmSearch::selectDay(int key)
{
    const int row = mModel->rowOnOrAfter(key);
    if (row < 0)
        return;
    const QModelIndex index = mModel->index(row, FoundDaysModel::DateColumn);
    lstFound->setCurrentIndex(index);
    lstFound->scrollTo(index);
}

void frmSearch::chooseCurrentRow()
{
    if (mStale)
        searchAfterPause();
    const int row = lstFound->currentIndex().row();
    if (row >= 0)
        emit dayChosen(mModel->dayOf(row));
}

void frmSearch::done(int result)
{
    QDialog::done(result);
    // Closed by the user: the keyboard goes back where it was.
    QWidget* back = mFocusBefore ? mFocusBefore.data() : mOwner.data();
    if (back && back->isVisible()) {
        back->activateWindow();
        back->setFocus(Qt::OtherFocusReason);
    }
}

bool frmSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((watched == txtFind || watched == lstFound) && isReturn(key)) {
            chooseCurrentRow();
            return true;
        }
        // The rows move under the text field's keys.
        if (watched == txtFind &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
             key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown)) {
            QApplication::sendEvent(lstFound, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSearch::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    emit searchChanged();
}

void frmSearch::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    mPause->stop();
    if (mRetry)
        mRetry->stop();
    savePlacement();
    emit searchChanged();
}

void frmSearch::place()
{
    auto number = [](const QString& name) {
        return LeadingWholeNumber(RegRead(kRegKey, name, QStringLiteral("0"))).value_or(0);
    };
    if (!mRestored) {
        mRestored = true;
        if (!RegRead(kRegKey, kWidth, QString()).isEmpty())
            resize(QSize(TwipsToPixelsX(number(kWidth)), TwipsToPixelsY(number(kHeight)))
                       .expandedTo(minimumSizeHint()));
        if (RegRead(kRegKey, kMoved, QString()) == QLatin1String("1")) {
            // Where the user put it, as long as it is on a screen.
            const WindowPlacement fit = FitPlacement(
                {QRect(QPoint(TwipsToPixelsX(number(kLeft)), TwipsToPixelsY(number(kTop))), size()),
                 0},
                ScreenAreas(), size());
            mUserPlaced = true;
            move(fit.outer.topLeft());
            resize(fit.outer.size());
            return;
        }
    }
    if (mUserPlaced || !mOwner)
        return;
    // Beside the main window, where it is now. The frame is not known
    // before the window is first shown: the main window's is taken for it.
    const QSize frame = mOwner->frameGeometry().size() - mOwner->size();
    const QScreen* screen = mOwner->screen();
    const QRect outer =
        PlaceBeside(mOwner->frameGeometry(), mHost.keepInSight ? mHost.keepInSight() : QRect(),
                    screen ? screen->availableGeometry() : mOwner->frameGeometry(), size() + frame);
    resize(outer.size() - frame);
    move(outer.topLeft());
    mPlacedAt = pos();
}

void frmSearch::savePlacement()
{
    if (!mRestored)
        return;
    // Moved since it was placed: by the user, who keeps it there.
    if (!mUserPlaced && pos() != mPlacedAt)
        mUserPlaced = true;
    QList<QPair<QString, QString>> values = {{kWidth, RegNumberText(PixelsToTwipsX(width()))},
                                             {kHeight, RegNumberText(PixelsToTwipsY(height()))}};
    if (mUserPlaced)
        values += {{kLeft, RegNumberText(PixelsToTwipsX(x()))},
                   {kTop, RegNumberText(PixelsToTwipsY(y()))},
                   {kMoved, QStringLiteral("1")}};
    RegWriteValues(kRegKey, values);
}
