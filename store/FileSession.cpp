#include "store/FileSession.h"

#include "platform/Globals.h"
#include "platform/basMain.h"

#include <exception>

Database gDatabase;

namespace {
int sessionDepth = 0;
} // namespace

FileSession::FileSession() : mExceptions(std::uncaught_exceptions())
{
    if (sessionDepth == 0) {
        if (!gOpenFlag) {
            gDatabase.open(gDataPath);
            mOwnsOpen = true;
        } else {
            // An open handle keeps reading and writing a file that was deleted
            // or moved away under it, and everything written there would be
            // lost: such a handle is let go, and opening the path again reports
            // the missing calendar.
            if (gDatabase.isOpen() && !FileExists(gDataPath))
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
    try {
        // Only a transaction begun inside this frame is undone: an outer
        // frame's transaction belongs to the outer operation.
        if (std::uncaught_exceptions() > mExceptions && !mTransactionBefore)
            gDatabase.rollback();
    } catch (const EngineError&) {
        // Closing below ends the transaction as well.
    }
    if (mOwnsOpen)
        gDatabase.close();
}

int FileSession::depth()
{
    return sessionDepth;
}
