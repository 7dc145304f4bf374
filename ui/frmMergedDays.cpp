#include "ui/frmMergedDays.h"

#include "entries/clsList.h"
#include "platform/DayKey.h"
#include "platform/Twips.h"
#include "store/DayRows.h"
#include "store/FileSession.h"
#include "store/MasterChanges.h"
#include "ui/AppIcon.h"
#include "ui/PlaceBeside.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

frmMergedDays::frmMergedDays(QWidget* owner) : QWidget(nullptr, Qt::Window), mOwner(owner)
{
    setObjectName(QStringLiteral("frmMergedDays"));
    setWindowTitle(QStringLiteral("統合した日"));
    setWindowIcon(AppIcon());
    auto* layout = new QVBoxLayout(this);
    mLabel = new QLabel(QStringLiteral("両方のコンピューターで書かれた内容をまとめた日です。"
                                       "ダブルクリックでその日を開きます。"),
                        this);
    mLabel->setObjectName(QStringLiteral("lblMergedDays"));
    mLabel->setWordWrap(true);
    layout->addWidget(mLabel);
    mList = new QTreeWidget(this);
    mList->setObjectName(QStringLiteral("lstMergedDays"));
    mList->setRootIsDecorated(false);
    mList->setUniformRowHeights(true);
    mList->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("内容")});
    mList->setFont(JapaneseFixedFont(9));
    mList->installEventFilter(this);
    layout->addWidget(mList);
    connect(mList, &QTreeWidget::itemDoubleClicked, this, [this] { openCurrent(); });
    // The first line shown follows what is written later, read once the
    // writer's operation has ended.
    connect(
        &MasterChanges::instance(), &MasterChanges::entrySaved, this,
        [this](int key, const QString&) {
            if (mDays.contains(key) && isVisible())
                fill();
        },
        Qt::QueuedConnection);
    resize(TwipsToPixelsX(5400), TwipsToPixelsY(3600));
}

void frmMergedDays::addDays(const QList<int>& keys)
{
    for (const int key : keys)
        mDays.insert(key);
    fill();
}

QList<int> frmMergedDays::days() const
{
    QList<int> keys(mDays.cbegin(), mDays.cend());
    std::sort(keys.begin(), keys.end());
    return keys;
}

void frmMergedDays::fill()
{
    const QList<int> keys = days();
    QList<DayRow> rows;
    try {
        FileSession session;
        rows = ReadDayRowList(session.db(), DaySelection{0, 0, false, keys});
    } catch (const EngineError&) {
        // Shown with their dates; the next change fills them in.
    }
    const int current =
        mList->currentItem() ? mList->currentItem()->data(0, Qt::UserRole).toInt() : 0;
    mList->clear();
    auto row = rows.cbegin();
    for (const int key : keys) {
        while (row != rows.cend() && row->key < key)
            ++row;
        const bool read = row != rows.cend() && row->key == key;
        auto* item = new QTreeWidgetItem(mList);
        item->setData(0, Qt::UserRole, key);
        item->setText(0, read ? clsList::DateText(key, row->week) : FormatDayKey(key));
        item->setText(1, read ? row->entry().section(QStringLiteral("\r\n"), 0, 0) : QString());
        if (key == current || !mList->currentItem())
            mList->setCurrentItem(item);
    }
    mList->resizeColumnToContents(0);
}

void frmMergedDays::showBeside()
{
    if (!mPlaced && mOwner) {
        mPlaced = true;
        const QSize frame = mOwner->frameGeometry().size() - mOwner->size();
        const QScreen* screen = mOwner->screen();
        const QRect outer = PlaceBeside(
            mOwner->frameGeometry(), QRect(),
            screen ? screen->availableGeometry() : mOwner->frameGeometry(), size() + frame);
        resize(outer.size() - frame);
        move(outer.topLeft());
    }
    show();
    raise();
}

void frmMergedDays::openCurrent()
{
    if (QTreeWidgetItem* item = mList->currentItem())
        emit openDay(item->data(0, Qt::UserRole).toInt());
}

bool frmMergedDays::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrent();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
