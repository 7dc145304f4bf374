#include "entries/clsPlan.h"

#include "platform/Running.h"
#include "store/Engine.h"
#include "store/clsMaster.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <utility>

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
    // A text still kept aside stays where it is: this entry is left.
    mRecovery.release();
    mWriteFailed = false;
    try {
        found = gMaster.PlanLoad(DateIndex, text);
    } catch (...) {
        // Nothing may be typed under a day that was never loaded.
        mStored = false;
        mText->setVisible(false);
        show(QString());
        mDateIndex = 0;
        stateChanged();
        throw;
    }
    mStored = found;
    mText->setVisible(found);
    show(text);
    mDateIndex = DateIndex;
    stateChanged();
}

void clsPlan::show(const QString& stored)
{
    mText->setPlainText(ToBoxText(stored));
    // After setting the text: showing it is not an edit.
    Dirty = false;
    mBase = stored;
}

void clsPlan::Save()
{
    CommitComposition();
    if (!Dirty)
        return;
    RunningScope busy(mHost, QStringLiteral("予定を書き込んでいます。"));
    write();
}

void clsPlan::SaveQuietly()
{
    CommitComposition();
    if (!Dirty)
        return;
    write();
}

void clsPlan::SaveWhileTyping()
{
    // The box's document never holds the composition: it lives in the
    // layout of the cursor's block until committed, so writing the document
    // leaves it (and the input method's state) untouched.
    if (!Dirty)
        return;
    write();
}

void clsPlan::write()
{
    const QString text = ToStoredText(BoxText(mText));
    if (text == mBase) {
        // Typed and taken back: nothing to write, and nothing to keep.
        Dirty = false;
        mWriteFailed = false;
        mRecovery.discard();
        stateChanged();
        return;
    }
    QString current;
    clsMaster::SaveOutcome outcome = clsMaster::SaveOutcome::Saved;
    try {
        outcome = gMaster.PlanSaveUnlessChanged(mDateIndex, mBase, text, current);
    } catch (...) {
        // Dirty stays set, so the text is written by the next successful
        // save; until then it is also on disk beside the calendar.
        mWriteFailed = true;
        mRecovery.keep(mDateIndex, text);
        stateChanged();
        throw;
    }
    mWriteFailed = false;
    // A day that was there when it was loaded and is gone from the file now
    // (another program put a calendar of another range in its place).
    const bool vanished = outcome == clsMaster::SaveOutcome::NotStored && mStored;
    if (outcome == clsMaster::SaveOutcome::ChangedOnDisk && writeMerged(text, current)) {
        mRecovery.discard();
        Dirty = false;
    } else if (outcome == clsMaster::SaveOutcome::ChangedOnDisk || vanished) {
        // Both sides changed the day since it was read: the file's text
        // stays, and the typed one is kept where the user is told about it.
        const QString kept = mRecovery.keep(mDateIndex, text);
        mRecovery.release();
        if (!kept.isEmpty())
            mConflicts << kept;
        if (vanished) {
            mStored = false;
            mText->setVisible(false);
        }
        show(current);
    } else {
        mBase = text;
        mRecovery.discard();
        Dirty = false;
    }
    stateChanged();
}

bool clsPlan::writeMerged(const QString& text, QString& current)
{
    if (!mergeChanged)
        return false;
    const std::optional<QString> merged = mergeChanged(mDateIndex, mBase, text, current);
    if (!merged)
        return false;
    QString now;
    const clsMaster::SaveOutcome outcome =
        gMaster.PlanSaveUnlessChanged(mDateIndex, current, *merged, now);
    if (outcome == clsMaster::SaveOutcome::ChangedOnDisk)
        current = now;
    if (outcome != clsMaster::SaveOutcome::Saved)
        return false;
    if (*merged != text) {
        // The typed text comes first in the merge: the cursor stays where
        // it was in it.
        const int position = mText->textCursor().position();
        show(*merged);
        QTextCursor cursor = mText->textCursor();
        cursor.setPosition(std::min(position, int(mText->document()->characterCount()) - 1));
        mText->setTextCursor(cursor);
    }
    mBase = *merged;
    return true;
}

QString clsPlan::KeepUnsaved()
{
    // Without committing a composition under way: the user is still at it.
    if (!Dirty)
        return QString();
    return mRecovery.keep(mDateIndex, ToStoredText(BoxText(mText)));
}

QStringList clsPlan::TakeConflictFiles()
{
    return std::exchange(mConflicts, {});
}

void clsPlan::stateChanged()
{
    if (onStateChange)
        onStateChange();
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
