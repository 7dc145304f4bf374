#pragma once

#include <QString>

class QPlainTextEdit;
class RunningHost;

// Ties the entry box to the stored entry of one day. Load shows a day's
// entry; Save writes the box back to the day it was loaded for, but only when
// the user has edited it since.
class clsPlan
{
public:
    clsPlan(QPlainTextEdit* text, RunningHost* host);

    // True when the box was changed since the last Load or Save. The window
    // sets it on every change notification of the box.
    bool Dirty = false;

    // Shows the entry of `DateIndex`; hides and empties the box when that day
    // is not stored. A store error leaves the box hidden and empty too, so
    // that nothing can be typed under a day that was never loaded.
    void Load(int DateIndex);

    // Writes an edited box under the day it was loaded for. A store error
    // passes to the caller with Dirty still set: the text stays in the box and
    // is written by the next successful Save. An input-method composition
    // under way is committed first, so that text being converted is saved.
    void Save();

    // The same write without a busy phase or a status text, for saving while
    // the user types; a store error passes to the caller with Dirty still
    // set.
    void SaveQuietly();

    // True while an input method is composing text in the box.
    bool IsComposing() const;
    // Ends a composition under way by committing its text into the box.
    void CommitComposition();

    // The day whose entry the box holds.
    int DateIndex() const { return mDateIndex; }

    // The text of the box exactly as typed: line breaks as LF, every other
    // character (a no-break space too) as it is.
    static QString BoxText(const QPlainTextEdit* box);

    // Entries are stored with CR LF between lines; the box works with LF.
    static QString ToBoxText(const QString& stored);
    static QString ToStoredText(const QString& boxText);

private:
    int mDateIndex = 0;
    QPlainTextEdit* mText;
    RunningHost* mHost;
};
