// The Display menu's options for how the window shows the entries.

#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QPlainTextEdit>

namespace {
const QString kWordWrap = QStringLiteral("WordWrap");
}

void frmMain::mnuWordWrap_Click()
{
    const bool on = !menuItem(QStringLiteral("mnuWordWrap"))->isChecked();
    setEntryWordWrap(on);
    if (!RegWrite(kRegKey, kWordWrap, on ? QStringLiteral("True") : QStringLiteral("False")))
        ShowWarning(QStringLiteral("設定変更に失敗しました。"));
}

void frmMain::restoreDisplayOptions()
{
    setEntryWordWrap(RegRead(kRegKey, kWordWrap, QStringLiteral("False"))
                         .trimmed()
                         .compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
}

void frmMain::setEntryWordWrap(bool on)
{
    menuItem(QStringLiteral("mnuWordWrap"))->setChecked(on);
    // Wrapping is only drawing: the text, and so what is stored, stays as
    // typed, with no line break added where a line wraps.
    txtToday->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    txtToday->setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}
