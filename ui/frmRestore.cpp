#include "ui/frmRestore.h"

#include "platform/Clock.h"
#include "platform/Twips.h"
#include "ui/AppIcon.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A year-month number as "0000/00".
QString monthText(int dayKey)
{
    const int ym = dayKey / 100;
    return QStringLiteral("%1/%2")
        .arg(ym / 100, 4, 10, QLatin1Char('0'))
        .arg(ym % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

QString frmRestore::MadeText(const BackupInfo& backup)
{
    return backup.made.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString frmRestore::MadeColumnText(const BackupInfo& backup)
{
    // Made while the clock ran ahead, or the clock is behind now: the list's
    // order is that of making, which the time would contradict.
    if (backup.made > Clock::Now())
        return MadeText(backup) + QStringLiteral("（日時が今より後です）");
    return MadeText(backup);
}

QString frmRestore::RangeText(const BackupInfo& backup)
{
    if (!backup.readable)
        return QStringLiteral("読み込めません");
    if (backup.firstDay == 0)
        return QStringLiteral("登録なし");
    return monthText(backup.firstDay) + QStringLiteral("～") + monthText(backup.lastDay);
}

frmRestore::frmRestore(const QList<BackupInfo>& backups, QWidget* parent)
    : QDialog(parent), mBackups(backups)
{
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟから復元"));
    setWindowIcon(AppIcon());
    setModal(true);

    lblPrompt = new QLabel(QStringLiteral("復元するバックアップを選んで下さい。今の暦ファイル"
                                          "は、置き換える前にバックアップします。"),
                           this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    lblPrompt->setWordWrap(true);

    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setFont(JapaneseFixedFont(9));
    lstBackups->setRootIsDecorated(false);
    lstBackups->setUniformRowHeights(true);
    lstBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    lstBackups->setHeaderLabels(
        {QStringLiteral("作成日時"), QStringLiteral("範囲"), QStringLiteral("予定のある日")});
    for (int i = 0; i < mBackups.size(); ++i) {
        const BackupInfo& backup = mBackups[i];
        auto* row = new QTreeWidgetItem(
            lstBackups, {MadeColumnText(backup), RangeText(backup),
                         backup.readable ? QString::number(backup.entries) : QString()});
        row->setData(0, Qt::UserRole, i);
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        if (!backup.readable)
            row->setFlags(row->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    }
    for (int c = 0; c < lstBackups->columnCount(); ++c)
        lstBackups->resizeColumnToContents(c);

    cmdRestore = new QPushButton(QStringLiteral("復元(&R)"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdRestore, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstBackups, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) {
        if (row->flags() & Qt::ItemIsEnabled)
            accept();
    });
    connect(lstBackups, &QTreeWidget::itemSelectionChanged, this,
            [this] { cmdRestore->setEnabled(chosen() != nullptr); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(lstBackups);
    layout->addLayout(buttons);

    // The one made last that can be restored is offered first.
    cmdRestore->setEnabled(false);
    for (int i = 0; i < lstBackups->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lstBackups->topLevelItem(i);
        if (row->flags() & Qt::ItemIsSelectable) {
            lstBackups->setCurrentItem(row);
            break;
        }
    }
    // Wide enough for every column, a time marked as after the clock too.
    int columns = 2 * lstBackups->frameWidth() +
                  lstBackups->verticalScrollBar()->sizeHint().width() +
                  layout->contentsMargins().left() + layout->contentsMargins().right();
    for (int c = 0; c < lstBackups->columnCount(); ++c)
        columns += lstBackups->columnWidth(c);
    resize(std::max(TwipsToPixelsX(6600), columns), TwipsToPixelsY(4200));
}

const BackupInfo* frmRestore::chosen() const
{
    const QList<QTreeWidgetItem*> rows = lstBackups->selectedItems();
    if (rows.isEmpty() || !(rows.first()->flags() & Qt::ItemIsEnabled))
        return nullptr;
    return &mBackups[rows.first()->data(0, Qt::UserRole).toInt()];
}
