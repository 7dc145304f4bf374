#include "store/FileSession.h"

#include "platform/Globals.h"
#include "store/DayJournal.h"
#include "store/EncryptedImage.h"
#include "store/MasterChanges.h"

#include <exception>
#include <utility>

// Never destroyed: a static handle would be closed by its destructor after
// Qt SQL has already shut down (an exit() on a lost display ends the process
// that way). The program closes it itself when it ends.
Database& gDatabase = *new Database;

namespace {
int sessionDepth = 0;

// The calendar file as the last operation left it: its path and which file
// it was.
struct KnownFile
{
    QString path;
    std::optional<Database::FileId> id;
};
KnownFile knownFile;

std::function<void(Database&)>& replacedHook()
{
    static std::function<void(Database&)> hook;
    return hook;
}

void rememberFile()
{
    if (gDatabase.isOpen())
        knownFile = {gDatabase.path(), gDatabase.fileId()};
}

// True when the handle, just opened or found open, is on another file than
// the one the last operation left under the same path.
bool foundAnotherFile()
{
    if (!gDatabase.isOpen() || !knownFile.id || knownFile.path != gDatabase.path())
        return false;
    const std::optional<Database::FileId> now = gDatabase.fileId();
    return now && *now != *knownFile.id;
}

// An encrypted calendar stays open in memory for the whole run, whatever
// the speed priority says: opening it means reading and decrypting all of
// it, and every change is written back as it is committed anyway.
bool keepsOpen()
{
    return gOpenFlag || HeldCalendarKeys() != nullptr;
}
} // namespace

FileSession::FileSession() : mExceptions(std::uncaught_exceptions())
{
    if (sessionDepth == 0) {
        if (!keepsOpen()) {
            gDatabase.open(gDataPath);
            mOwnsOpen = true;
        } else {
            // An open handle keeps reading and writing a file that was deleted,
            // moved away or replaced under it (a sync tool renames its copy
            // over the calendar), and everything written there would be lost:
            // such a handle is let go, and opening the path again finds the
            // file that is there now, or reports the missing calendar.
            if (gDatabase.isOpen() && !gDatabase.isStillOnDisk())
                gDatabase.close();
            if (!gDatabase.isOpen())
                // Speed priority is on but the handle was closed (a failed
                // reopen): open it again for the rest of the run.
                gDatabase.open(gDataPath);
        }
    }
    mTransactionBefore = gDatabase.inTransaction();
    ++sessionDepth;
    if (sessionDepth == 1 && gDatabase.isOpen() && !knownFile.path.isEmpty() &&
        knownFile.path != gDatabase.path()) {
        // Another calendar: what was written into the last one is no
        // concern of this one.
        DayJournal::instance().clear();
        knownFile = {};
    }
    if (sessionDepth == 1 && foundAnotherFile() && replacedHook()) {
        // Inside this frame, so that the hook's own operations nest in it;
        // a failure leaves the file unremembered, for the next operation to
        // try again.
        try {
            replacedHook()(gDatabase);
        } catch (...) {
            --sessionDepth;
            try {
                if (!mTransactionBefore)
                    gDatabase.rollback();
            } catch (const EngineError&) {
            }
            if (mOwnsOpen || keepsOpen())
                gDatabase.close();
            throw;
        }
    }
    if (sessionDepth == 1)
        rememberFile();
}

FileSession::~FileSession()
{
    --sessionDepth;
    const bool failed = std::uncaught_exceptions() > mExceptions;
    try {
        // Only a transaction begun inside this frame is undone: an outer
        // frame's transaction belongs to the outer operation.
        if (failed && !mTransactionBefore)
            gDatabase.rollback();
    } catch (const EngineError&) {
        // Closing below ends the transaction as well.
    }
    // An encrypted calendar's own writes put a new file in its place.
    if (sessionDepth == 0 && !failed)
        rememberFile();
    // With speed priority on, a handle that failed once (the file was
    // replaced, locked, or opened read-only before its permissions were
    // fixed) is let go, so that the next operation opens the file afresh.
    if (mOwnsOpen || (failed && sessionDepth == 0 && keepsOpen()))
        gDatabase.close();
}

int FileSession::depth()
{
    return sessionDepth;
}

QuickAttempt::QuickAttempt() : mBefore(Database::busyWait())
{
    setWait(kQuickAttemptWaitMs);
}

QuickAttempt::~QuickAttempt()
{
    setWait(mBefore);
}

void QuickAttempt::setWait(int ms)
{
    Database::setBusyWait(ms);
    if (!gDatabase.isOpen())
        return;
    try {
        gDatabase.applyBusyWait();
    } catch (const EngineError&) {
        // A handle that cannot take the setting fails its next operation
        // anyway, and is opened afresh with the setting then.
    }
}

void SetCalendarReplacedHook(std::function<void(Database&)> hook)
{
    replacedHook() = std::move(hook);
}

void ForgetCalendarFile()
{
    knownFile = {};
}

void CalendarFileReplaced()
{
    knownFile = {gDataPath, Database::fileIdOf(gDataPath)};
    if (gOpenFlag) {
        try {
            gDatabase.open(gDataPath);
        } catch (const EngineError&) {
            // The next operation opens it again, or reports why it cannot.
        }
    }
    emit MasterChanges::instance().entriesReplaced();
}
