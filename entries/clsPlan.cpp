#include "entries/clsPlan.h"

#include "platform/Running.h"
#include "store/Engine.h"
#include "store/clsMaster.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextBlock>
#include <QTextLayout>

clsPlan::clsPlan(QPlainTextEdit* text, RunningHost* host) : mText(text), mHost(host) {}

QString clsPlan::BoxText(const QPlainTextEdit* box)
{
    // The box's plain text would turn no-break spaces into spaces; the raw
    // text keeps them and marks line breaks with separators of its own.
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString clsPlan::ToBoxText(const QString& stored)
{
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString clsPlan::ToStoredText(const QString& boxText)
{
    QString text = boxText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void clsPlan::Load(int DateIndex)
{
    RunningScope busy(mHost, QStringLiteral("予定を読み込んでいます。"));
    QString text;
    bool found = false;
    try {
        found = gMaster.PlanLoad(DateIndex, text);
    } catch (...) {
        // Nothing may be typed under a day that was never loaded.
        mText->setVisible(false);
        mText->setPlainText(QString());
        Dirty = false;
        mDateIndex = 0;
        throw;
    }
    mText->setVisible(found);
    mText->setPlainText(ToBoxText(text));
    // After setting the text: the load itself is not an edit.
    Dirty = false;
    mDateIndex = DateIndex;
}

void clsPlan::Save()
{
    CommitComposition();
    if (!Dirty)
        return;
    RunningScope busy(mHost, QStringLiteral("予定を書き込んでいます。"));
    // A failed write leaves Dirty set, so the text is written by the next
    // successful Save.
    gMaster.PlanSave(mDateIndex, ToStoredText(BoxText(mText)));
    Dirty = false;
}

void clsPlan::SaveQuietly()
{
    CommitComposition();
    if (!Dirty)
        return;
    gMaster.PlanSave(mDateIndex, ToStoredText(BoxText(mText)));
    Dirty = false;
}

bool clsPlan::IsComposing() const
{
    // The text being composed is held beside the document, in the layout of
    // the block the cursor is in, until the input method commits it.
    const QTextLayout* layout = mText->textCursor().block().layout();
    return layout && !layout->preeditAreaText().isEmpty();
}

void clsPlan::CommitComposition()
{
    if (!IsComposing())
        return;
    // The input method commits what it holds; one that does not (or none at
    // all) leaves the text in the layout, and it is committed here as typed.
    if (mText->hasFocus())
        QGuiApplication::inputMethod()->commit();
    if (!IsComposing())
        return;
    QInputMethodEvent commit;
    commit.setCommitString(mText->textCursor().block().layout()->preeditAreaText());
    QCoreApplication::sendEvent(mText, &commit);
}
