#include "app/FirstRun.h"

#include "app/CalendarUnlock.h"
#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

namespace {

// Fills a calendar that holds no days with 61 months from now. A file this
// start made is removed again when that fails; one found `resumed` from an
// earlier start stays as it is.
std::optional<int> fillFirstMonths(bool resumed)
{
    bool filled = false;
    std::optional<EngineError> failure;
    try {
        if (gOpenFlag)
            gDatabase.open(gDataPath);
        if (resumed)
            EnsureMasterTable();
        const int thisMonth = YearMonthOf(Clock::Today());
        filled = gMaster.Update(thisMonth, AddMonths(thisMonth, 60));
        if (!filled)
            failure = gMaster.LastError();
    } catch (const EngineError& e) {
        failure = e;
    }
    if (filled)
        return std::nullopt;
    gDatabase.close();
    if (!resumed)
        RemoveFile(gDataPath);
    ShowWarning(failure ? CreateFailedText(*failure) : kCreateFailed);
    return kStartupEnded;
}

} // namespace

std::optional<int> PrepareCalendarFile()
{
    // A range change that was cut short between writing the compacted copy
    // and giving it the calendar's name leaves only New.vad: that copy is
    // the calendar, not a reason for a first run over the user's diary.
    RecoverCalendarFile();

    // 7. An existing calendar goes straight to the main window, unless it
    // is a first run that was cut off before its days were written: that
    // one is asked about and filled as a first run would be. Declined, the
    // file stays as it is.
    if (FileExists(gDataPath)) {
        // An encrypted calendar is read only once its password is given.
        if (const std::optional<int> ended = UnlockEncryptedCalendar())
            return ended;
        if (!IsUnfilledCalendar())
            return std::nullopt;
        if (!gMaster.ConfirmToday())
            return kStartupEnded;
        return fillFirstMonths(true);
    }

    // 8. First run: create the file and fill it with 61 months from now.
    if (!gMaster.Create())
        return kStartupEnded;
    return fillFirstMonths(false);
}
