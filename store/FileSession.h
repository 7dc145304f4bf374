#pragma once

#include "store/Engine.h"

#include <functional>

// The shared handle on the calendar file. While speed priority is on it stays
// open from the main window's load to exit; while it is off every operation
// opens it at its start and closes it at its end.
extern Database& gDatabase;

// The frame around one operation on the calendar file: opens gDatabase on
// gDataPath when speed priority is off (and closes it again when the frame
// ends, also by an exception); with speed priority on it uses gDatabase as it
// is. When the frame is left by an exception, a transaction that began
// inside it is rolled back, so the file is as it was before the operation.
//
// Frames nest: one started while another holds the file (a read inside a
// command, say) uses the open handle and leaves opening, closing and the
// outer transaction to the outermost frame.
//
// With speed priority on, an operation that fails closes the shared handle,
// and the next one opens it again.
class FileSession
{
public:
    FileSession();
    ~FileSession();
    FileSession(const FileSession&) = delete;
    FileSession& operator=(const FileSession&) = delete;

    Database& db() { return gDatabase; }

    // How many frames are open now; 0 between operations.
    static int depth();

private:
    bool mOwnsOpen = false;
    bool mTransactionBefore = false;
    int mExceptions = 0;
};

// After another file was put in the calendar's place (a range change's
// compacted copy, a restored backup): with speed priority on the shared
// handle is opened on it again (a failure is left to the next operation),
// and whoever keeps entries in memory is told that they may all be others.
// The new file is this program's own: no operation takes it for one that
// another program put there.
void CalendarFileReplaced();

// Called by the outermost operation that finds the calendar file to be
// another one than the last operation left (a sync tool renamed the other
// computer's copy over it, with the handle open or between operations),
// before the operation does its own work, inside it (`db` is the handle on
// the new file; nested operations use it). What the hook throws fails the
// operation, and the next one calls the hook again. One hook; an empty one
// removes it.
void SetCalendarReplacedHook(std::function<void(Database& db)> hook);
// Forgets which file the last operation left, so that the next one takes
// the file it finds as the calendar's own (a new calendar, say).
void ForgetCalendarFile();

// How long a QuickAttempt waits for a locked calendar, in milliseconds.
constexpr int kQuickAttemptWaitMs = 50;

// Within its scope, store operations wait only a moment for a calendar that
// another program holds locked, instead of about two seconds: for attempts
// that are repeated anyway (saving while typing, waiting for a locked
// calendar), so that they never hold up the window.
class QuickAttempt
{
public:
    QuickAttempt();
    ~QuickAttempt();
    QuickAttempt(const QuickAttempt&) = delete;
    QuickAttempt& operator=(const QuickAttempt&) = delete;

private:
    static void setWait(int ms);
    int mBefore;
};
