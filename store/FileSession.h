#pragma once

#include "store/Engine.h"

// The shared handle on the calendar file. While speed priority is on it stays
// open from the main window's load to exit; while it is off every operation
// opens it at its start and closes it at its end.
extern Database gDatabase;

// The frame around one operation on the calendar file: opens gDatabase on
// gDataPath when speed priority is off (and closes it again when the frame
// ends, also by an exception); with speed priority on it uses gDatabase as it
// is. When the frame is left by an exception, a transaction still under
// way is rolled back, so the file is as it was before the operation.
class FileSession
{
public:
    FileSession();
    ~FileSession();
    FileSession(const FileSession&) = delete;
    FileSession& operator=(const FileSession&) = delete;

    Database& db() { return gDatabase; }

private:
    bool mOwnsOpen = false;
    int mExceptions = 0;
};
