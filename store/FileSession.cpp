#include "store/FileSession.h"

#include "platform/Globals.h"

#include <exception>

Database gDatabase;

FileSession::FileSession() : mExceptions(std::uncaught_exceptions())
{
    if (!gOpenFlag) {
        gDatabase.open(gDataPath);
        mOwnsOpen = true;
    } else if (!gDatabase.isOpen()) {
        // Speed priority is on but the handle was closed (a failed reopen):
        // open it again for the rest of the run instead of failing.
        gDatabase.open(gDataPath);
    }
}

FileSession::~FileSession()
{
    try {
        if (std::uncaught_exceptions() > mExceptions)
            gDatabase.rollback();
    } catch (const EngineError&) {
        // Closing below ends the transaction as well.
    }
    if (mOwnsOpen)
        gDatabase.close();
}
