#pragma once

#include "entries/RecoveryFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

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
    // is written by the next successful Save; meanwhile it is kept in a
    // recovery file, which goes once the entry is saved. An input-method
    // composition under way is committed first, so that text being converted
    // is saved.
    //
    // When another program changed the same day in the file since it was
    // read, the two are merged (mergeChanged) and the merged text is written
    // and shown. Without a merge, or when the day was removed, nothing is
    // overwritten: the file's text stays and is shown in the box, and the
    // typed text goes to a recovery file (TakeConflictFiles).
    void Save();

    // The same write without a busy phase or a status text, for the end of
    // the program; a store error passes to the caller with Dirty still set.
    void SaveQuietly();
    // The write while the user types: no busy phase, no status text, and
    // text that an input method is still composing is left to it (it is not
    // the entry's until committed); the box, its cursor and its selection
    // are not touched, unless another program changed the same day (see
    // Save). A store error passes to the caller with Dirty still set.
    void SaveWhileTyping();

    // True while the edited entry could not be written: the last attempt
    // failed. Its text is kept in a recovery file until a save succeeds.
    bool IsUnsaved() const { return Dirty && mWriteFailed; }
    // Keeps the edited text in the entry's recovery file now, as it is in
    // the box (a composition under way is left alone). Returns the file's
    // path; "" when nothing is edited or no file could be written.
    QString KeepUnsaved();

    // Recovery files of typed texts that met another program's change of
    // the same day, each given once.
    QStringList TakeConflictFiles();
    bool HasConflictFiles() const { return !mConflicts.isEmpty(); }

    // Called after every attempt to write and every load, so that the
    // window can show the entry's state.
    std::function<void()> onStateChange;

    // Merges the typed text of the day `key` (`ours`, edited from `base`)
    // with the text another program wrote into the file meanwhile
    // (`theirs`). When it gives a text, a save that meets such a change
    // writes the merged text and shows it in the box, instead of keeping the
    // typed text in a recovery file; nothing (a failed merge) takes that
    // way all the same.
    std::function<std::optional<QString>(int key, const QString& base, const QString& ours,
                                         const QString& theirs)>
        mergeChanged;

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
    void write();
    // Writes the merge of the typed `text` with the file's `current` text;
    // false when there is no merge or the file changed again meanwhile
    // (`current` then holds its text).
    bool writeMerged(const QString& text, QString& current);
    // Shows `stored` in the box; the change is no edit.
    void show(const QString& stored);
    void stateChanged();

    // The day's text as it was read from the file or written last.
    QString mBase;
    bool mWriteFailed = false;
    // The day was stored when it was loaded.
    bool mStored = false;
    PendingRecovery mRecovery;
    QStringList mConflicts;
    int mDateIndex = 0;
    QPlainTextEdit* mText;
    RunningHost* mHost;
};
