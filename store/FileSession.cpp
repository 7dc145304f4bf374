#include "store/FileSession.h"

#include "platform/Globals.h"
#include "store/EncryptedImage.h"
#include "store/MasterChanges.h"

#include <exception>

// Never destroyed: a static handle would be closed by its destructor after
// Qt SQL has already shut down (an exit() on a lost display ends the process
// that way). The program closes it itself when it ends.
Database& gDatabase = *new Database;

namespace {
int sessionDepth = 0;

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

void CalendarFileReplaced()
{
    if (gOpenFlag) {
        try {
            gDatabase.open(gDataPath);
        } catch (const EngineError&) {
            // The next operation opens it again, or reports why it cannot.
        }
    }
    emit MasterChanges::instance().entriesReplaced();
}
