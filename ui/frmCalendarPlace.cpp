#include "ui/frmCalendarPlace.h"

#include "platform/CalendarPath.h"
#include "platform/Twips.h"
#include "ui/AppIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

QString frmCalendarPlace::NoteText(const QString& current, const QString& usual, bool encrypted)
{
    QString note =
        WholePath(current) == WholePath(usual)
            ? QStringLiteral("Zedu を起動すると、この暦ファイルを開きます。")
            : QStringLiteral("この暦ファイルは、この回だけ開いています。Zedu を起動すると、次の"
                             "暦ファイルを開きます。\n") +
                  QDir::toNativeSeparators(usual);
    note += QStringLiteral("\n\n同期ソフトが同じ内容に保つフォルダーへ暦ファイルを移すと、ほかの"
                           "コンピューターでも同じ暦を使えます。移したり開いたりした場所は、次"
                           "に起動したときも使います。");
    if (encrypted)
        note += QStringLiteral("暗号化された暦ファイルは、暗号化されたまま移します。");
    return note;
}

frmCalendarPlace::frmCalendarPlace(const QString& current, const QString& usual, bool encrypted,
                                   QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCalendarPlace"));
    setWindowTitle(QStringLiteral("暦ファイルの場所"));
    setWindowIcon(AppIcon());
    setModal(true);

    auto* lblPlace = new QLabel(QStringLiteral("今の暦ファイル(&P):"), this);
    lblPlace->setObjectName(QStringLiteral("lblPlace"));
    txtPlace = new QLineEdit(QDir::toNativeSeparators(current), this);
    txtPlace->setObjectName(QStringLiteral("txtPlace"));
    txtPlace->setReadOnly(true);
    txtPlace->setCursorPosition(0);
    lblPlace->setBuddy(txtPlace);

    lblNote = new QLabel(NoteText(current, usual, encrypted), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);

    cmdMove = new QPushButton(QStringLiteral("別のフォルダーへ移す(&M)..."), this);
    cmdMove->setObjectName(QStringLiteral("cmdMove"));
    cmdMove->setToolTip(QStringLiteral("暦ファイルとバックアップを、選んだフォルダーへ移します。"
                                       "移したことを確かめてから、元の場所のものを消します。"));
    cmdOpen = new QPushButton(QStringLiteral("別の暦を開く(&O)..."), this);
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdOpen->setToolTip(QStringLiteral("選んだフォルダーにある暦ファイル（Data.vad）を開きます。"
                                       "今の暦ファイルは、そのまま残ります。"));
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdMove, &QPushButton::clicked, this, [this] { done(Move); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { done(Open); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* place = new QHBoxLayout;
    place->addWidget(lblPlace);
    place->addWidget(txtPlace, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdMove);
    buttons->addWidget(cmdOpen);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(place);
    layout->addWidget(lblNote);
    layout->addStretch();
    layout->addLayout(buttons);

    // Wide enough for a path of some depth (a longer one scrolls in its
    // box), and as high as the note needs at that width.
    const int wanted = txtPlace->fontMetrics().horizontalAdvance(txtPlace->text()) +
                       lblPlace->sizeHint().width() + 60;
    const int width = std::clamp(wanted, TwipsToPixelsX(7800), TwipsToPixelsX(10000));
    resize(width, layout->totalHeightForWidth(width));
}
