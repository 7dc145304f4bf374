#include "ui/frmRecoveryFiles.h"

#include "platform/DayKey.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/Engine.h"
#include "ui/AppIcon.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

frmRecoveryFiles::frmRecoveryFiles(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRecoveryFiles"));
    setWindowTitle(QStringLiteral("回復用ファイル"));
    setWindowIcon(AppIcon());
    setModal(true);

    auto* prompt =
        new QLabel(QStringLiteral("暦ファイルに書き込めなかった予定です。必要な予定はコピーして、"
                                  "その日の予定に貼り付けて下さい。"),
                   this);
    prompt->setWordWrap(true);
    lstFiles = new QTreeWidget(this);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    lstFiles->setFont(JapaneseFixedFont(9));
    lstFiles->setRootIsDecorated(false);
    lstFiles->setUniformRowHeights(true);
    lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFiles->setHeaderLabels(
        {QStringLiteral("日付"), QStringLiteral("保存した日時"), QStringLiteral("ファイル")});
    txtEntry = new QPlainTextEdit(this);
    txtEntry->setObjectName(QStringLiteral("txtEntry"));
    txtEntry->setReadOnly(true);
    txtEntry->setFont(JapaneseFixedFont(9));
    lblPath = new QLabel(this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPath->setWordWrap(true);

    cmdCopy = new QPushButton(QStringLiteral("コピー(&C)"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdDelete = new QPushButton(QStringLiteral("削除(&D)"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdCopy, &QPushButton::clicked, this, [this] {
        if (chosen())
            QApplication::clipboard()->setText(txtEntry->toPlainText());
    });
    connect(cmdDelete, &QPushButton::clicked, this, [this] {
        const File* file = chosen();
        if (!file || AskYesNo(QStringLiteral("次の回復用ファイルを削除します。よろしいですか？\r") +
                                  QDir::toNativeSeparators(file->path),
                              Dialogs::No) == Dialogs::No)
            return;
        if (!QFile::remove(file->path))
            ShowWarning(QStringLiteral("回復用ファイルを削除できませんでした。\r") +
                        QDir::toNativeSeparators(file->path));
        fill();
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstFiles, &QTreeWidget::itemSelectionChanged, this, &frmRecoveryFiles::showChosen);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdDelete);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(lstFiles, 1);
    layout->addWidget(txtEntry, 2);
    layout->addWidget(lblPath);
    layout->addLayout(buttons);
    fill();
    resize(TwipsToPixelsX(7200), TwipsToPixelsY(5400));
}

void frmRecoveryFiles::fill()
{
    mFiles.clear();
    lstFiles->clear();
    for (const QString& path : ListRecoveryFiles()) {
        File file{path, {}, {}};
        try {
            file.entry = ReadRecoveryFile(path);
        } catch (const EngineError& e) {
            file.problem = e.causeText();
        }
        mFiles << file;
    }
    // The newest first.
    std::sort(mFiles.begin(), mFiles.end(),
              [](const File& a, const File& b) { return a.entry.time > b.entry.time; });
    for (int i = 0; i < mFiles.size(); ++i) {
        const File& file = mFiles[i];
        auto* row = new QTreeWidgetItem(lstFiles,
                                        {file.problem.isEmpty() ? FormatDayKey(file.entry.day)
                                                                : QStringLiteral("読み込めません"),
                                         file.entry.time, QFileInfo(file.path).fileName()});
        row->setData(0, Qt::UserRole, i);
    }
    for (int c = 0; c < lstFiles->columnCount(); ++c)
        lstFiles->resizeColumnToContents(c);
    if (lstFiles->topLevelItemCount() > 0)
        lstFiles->setCurrentItem(lstFiles->topLevelItem(0));
    showChosen();
}

const frmRecoveryFiles::File* frmRecoveryFiles::chosen() const
{
    const QList<QTreeWidgetItem*> rows = lstFiles->selectedItems();
    return rows.isEmpty() ? nullptr : &mFiles[rows.first()->data(0, Qt::UserRole).toInt()];
}

void frmRecoveryFiles::showChosen()
{
    const File* file = chosen();
    if (!file) {
        txtEntry->setPlainText(mFiles.isEmpty() ? QStringLiteral("回復用ファイルはありません。")
                                                : QString());
        lblPath->clear();
    } else {
        txtEntry->setPlainText(
            file->problem.isEmpty()
                ? QString(file->entry.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                : file->problem);
        lblPath->setText(QDir::toNativeSeparators(file->path));
    }
    cmdCopy->setEnabled(file && file->problem.isEmpty());
    cmdDelete->setEnabled(file != nullptr);
}
