#include "ui/frmOnThisDay.h"

#include "entries/clsList.h"
#include "platform/Twips.h"
#include "store/Engine.h"
#include "ui/AppIcon.h"
#include "ui/InsightFeed.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

frmOnThisDay::frmOnThisDay(QWidget* owner, InsightFeed* feed, std::function<QRect()> keepInSight)
    : QDialog(nullptr, Qt::Window), mOwner(owner), mFeed(feed),
      mPlacement(this, QStringLiteral("OnThisDay"), owner, std::move(keepInSight))
{
    setObjectName(QStringLiteral("frmOnThisDay"));
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("過去の同じ日"));
    setModal(false);
    setSizeGripEnabled(true);
    const QFont font = JapaneseFixedFont(9);

    lblDay = new QLabel(this);
    lblDay->setObjectName(QStringLiteral("lblDay"));
    lblDay->setWordWrap(true);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lstPast = new QTreeWidget(this);
    lstPast->setObjectName(QStringLiteral("lstPast"));
    lstPast->setFont(font);
    lstPast->setColumnCount(3);
    lstPast->setHeaderLabels(
        {QStringLiteral("日付"), QStringLiteral("何年前"), QStringLiteral("内容")});
    lstPast->setRootIsDecorated(false);
    lstPast->setUniformRowHeights(true);
    lstPast->setAllColumnsShowFocus(true);
    lstPast->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPast->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = lstPast->header();
    header->setStretchLastSection(true);
    const QFontMetrics metrics(font);
    header->resizeSection(0, metrics.horizontalAdvance(QStringLiteral("0000/00/00(月)")) + 16);
    header->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("100年前（29日なし）")) + 16);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblDay);
    layout->addWidget(lstPast, 1);
    layout->addWidget(lblCount);
    resize(TwipsToPixelsX(7200), TwipsToPixelsY(4200));

    connect(mFeed, &InsightFeed::changed, this, [this] {
        if (isVisible())
            refresh();
    });
    connect(lstPast, &QTreeWidget::itemDoubleClicked, this, [this] { chooseCurrentRow(); });
    lstPast->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (column == 2)
            fitLines();
    });
}

void frmOnThisDay::showInFront(int key)
{
    if (!isVisible()) {
        mFocusBefore = QApplication::focusWidget();
        // Each time, so that it never opens over the entry box wherever
        // the main window went meanwhile.
        mPlacement.restore();
        mKey = key;
        refresh();
        show();
    } else {
        setDay(key);
    }
    raise();
    activateWindow();
    lstPast->setFocus(Qt::ShortcutFocusReason);
}

void frmOnThisDay::setDay(int key)
{
    if (key == mKey)
        return;
    mKey = key;
    if (isVisible())
        refresh();
}

void frmOnThisDay::refresh()
{
    const int month = mKey / 100 % 100;
    const int dayOfMonth = mKey % 100;
    lblDay->setText(month == 2 && dayOfMonth == 29
                        ? QStringLiteral("過去の2月29日（2月29日のない年は2月28日）")
                        : QStringLiteral("過去の%1月%2日").arg(month).arg(dayOfMonth));
    lstPast->clear();
    mPast.clear();
    try {
        mPast = PastDaysOf(mFeed->tally(), mKey);
    } catch (const EngineError& e) {
        lblCount->setText(QStringLiteral("暦ファイルを読めませんでした。") + e.causeText());
        return;
    }
    QList<QTreeWidgetItem*> rows;
    for (const PastDay& day : mPast) {
        auto* row = new QTreeWidgetItem(
            {clsList::DateText(day.key, day.week),
             day.insteadOf29 ? QStringLiteral("%1年前（29日なし）").arg(day.yearsAgo)
                             : QStringLiteral("%1年前").arg(day.yearsAgo),
             QString()});
        row->setData(0, Qt::UserRole, day.key);
        rows << row;
    }
    lstPast->addTopLevelItems(rows);
    fitLines();
    if (!rows.isEmpty())
        lstPast->setCurrentItem(rows.front());
    lblCount->setText(mPast.isEmpty() ? QStringLiteral("過去の同じ日に書いた予定はありません。")
                                      : QStringLiteral("%1年分").arg(mPast.size()));
}

void frmOnThisDay::fitLines()
{
    // The font has a fixed pitch: no more characters fit than the column
    // has half-width places. A long first line is cut there, so that a
    // drawing does not lay out the whole of it only to elide it.
    const int place = std::max(1, QFontMetrics(lstPast->font()).horizontalAdvance(u'0'));
    const int places = lstPast->header()->sectionSize(2) / place + 1;
    for (int r = 0; r < lstPast->topLevelItemCount() && r < mPast.size(); ++r) {
        QString line = mPast[r].firstLine.left(places);
        if (!line.isEmpty() && line.back().isHighSurrogate())
            line.chop(1);
        lstPast->topLevelItem(r)->setText(2, line);
    }
}

void frmOnThisDay::chooseCurrentRow()
{
    if (const QTreeWidgetItem* row = lstPast->currentItem())
        emit dayChosen(row->data(0, Qt::UserRole).toInt());
}

bool frmOnThisDay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstPast && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseCurrentRow();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmOnThisDay::done(int result)
{
    QDialog::done(result);
    // Closed by the user: the keyboard goes back where it was.
    QWidget* back = mFocusBefore ? mFocusBefore.data() : mOwner.data();
    if (back && back->isVisible()) {
        back->activateWindow();
        back->setFocus(Qt::OtherFocusReason);
    }
}

void frmOnThisDay::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    mPlacement.save();
}
