#include "ui/frmRecoveryKey.h"

#include "platform/Clock.h"
#include "platform/Globals.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "ui/AppIcon.h"
#include "ui/PlainFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kExplanation = QStringLiteral(
    "暦ファイルを暗号化しました。\n"
    "次の回復キーは、パスワードを忘れたときに暦ファイルを開く、ただ一つの方法です。書き留めるか"
    "印刷して、このコンピューターとは別の安全な場所に保管して下さい。\n"
    "この回復キーは、二度と表示されません。");

// The key in a font that tells every letter and digit apart.
QFont keyFont(double pointSize)
{
    QFont font = JapaneseFixedFont(pointSize);
    font.setBold(true);
    return font;
}

} // namespace

frmRecoveryKey::frmRecoveryKey(const QString& key, QWidget* parent) : QDialog(parent), mKey(key)
{
    setObjectName(QStringLiteral("frmRecoveryKey"));
    setWindowTitle(QStringLiteral("回復キー"));
    setWindowIcon(AppIcon());
    setModal(true);

    lblExplanation = new QLabel(kExplanation, this);
    lblExplanation->setObjectName(QStringLiteral("lblExplanation"));
    lblExplanation->setWordWrap(true);

    txtRecoveryKey = new QLineEdit(key, this);
    txtRecoveryKey->setObjectName(QStringLiteral("txtRecoveryKey"));
    txtRecoveryKey->setReadOnly(true);
    txtRecoveryKey->setAlignment(Qt::AlignCenter);
    txtRecoveryKey->setFont(keyFont(14));
    txtRecoveryKey->setMinimumWidth(
        QFontMetrics(txtRecoveryKey->font()).horizontalAdvance(key + QStringLiteral("MMMM")));

    cmdCopy = new QPushButton(QStringLiteral("コピー(&C)"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdPrint = new QPushButton(QStringLiteral("印刷(&P)..."), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    lblCopied = new QLabel(CopiedText(), this);
    lblCopied->setObjectName(QStringLiteral("lblCopied"));
    lblCopied->setWordWrap(true);
    lblCopied->setVisible(false);
    connect(cmdCopy, &QPushButton::clicked, this, &frmRecoveryKey::copy);
    connect(cmdPrint, &QPushButton::clicked, this, &frmRecoveryKey::print);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdPrint);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblExplanation);
    layout->addSpacing(TwipsToPixelsY(120));
    layout->addWidget(txtRecoveryKey);
    layout->addSpacing(TwipsToPixelsY(120));
    layout->addLayout(buttons);
    layout->addWidget(lblCopied);
    cmdClose->setFocus();
}

QString frmRecoveryKey::CopiedText()
{
    return QStringLiteral(
        "回復キーをクリップボードにコピーしました。この画面を閉じても、クリップボードに残ります。"
        "パスワード管理ソフトなどの安全な場所に貼り付けたら、クリップボードを消去して下さい"
        "（別の文字をコピーすると消えます。クリップボードの履歴を残すソフトを使っているときは、"
        "その履歴からも消して下さい）。");
}

void frmRecoveryKey::copy()
{
    // A copy of its own: the key this window shows shares its characters
    // with the command's, which wipes them when the window has closed, and
    // the clipboard must keep the key after that.
    QApplication::clipboard()->setText(QString(mKey.constData(), mKey.size()));
    lblCopied->setVisible(true);
}

void frmRecoveryKey::print()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("回復キーの印刷"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The key opens the diary: a file that holds it is its owner's alone.
    if (PrintsToFile(printer) && !MakeOwnerOnlyFile(printer.outputFileName())) {
        ShowWarning(QStringLiteral("書き出し先にファイルを作れませんでした。\r") +
                    QDir::toNativeSeparators(printer.outputFileName()));
        return;
    }
    PrintKey(printer, mKey, gDataPath);
}

void frmRecoveryKey::PrintKey(QPagedPaintDevice& page, const QString& key,
                              const QString& calendarPath)
{
    QPainter painter(&page);
    const QRect area = painter.viewport();
    const int margin = area.width() / 10;
    QRect text = area.adjusted(margin, margin, -margin, -margin);
    const auto block = [&](const QString& lines, const QFont& font) {
        painter.setFont(font);
        const QRect used = painter.boundingRect(text, Qt::TextWordWrap, lines);
        painter.drawText(text, Qt::TextWordWrap, lines);
        text.setTop(used.bottom() + painter.fontMetrics().height());
    };
    block(QStringLiteral("Zedu の回復キー"), keyFont(16));
    block(key, keyFont(16));
    block(QStringLiteral("暦ファイル: %1\n印刷した日: %2")
              .arg(QDir::toNativeSeparators(calendarPath),
                   Clock::Today().toString(QStringLiteral("yyyy/MM/dd"))),
          JapaneseFixedFont(10));
    block(QStringLiteral("パスワードを忘れたときは、起動時のパスワードの入力で「回復キーを使う」を"
                         "選び、この回復キーを入力して下さい。この紙を持つ人は日記を読むことが"
                         "できます。安全な場所に保管して下さい。"),
          JapaneseFixedFont(10));
}
