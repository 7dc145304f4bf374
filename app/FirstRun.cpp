#include "app/FirstRun.h"

#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

std::optional<int> PrepareCalendarFile()
{
    // A range change that was cut short between writing the compacted copy
    // and giving it the calendar's name leaves only New.vad: that copy is
    // the calendar, not a reason for a first run over the user's diary.
    RecoverCalendarFile();

    // 7. An existing calendar goes straight to the main window.
    if (FileExists(gDataPath))
        return std::nullopt;

    // 8. First run: create the file and fill it with 61 months from now.
    if (!gMaster.Create())
        return kStartupEnded;
    bool filled = false;
    try {
        if (gOpenFlag)
            gDatabase.open(gDataPath);
        const int thisMonth = YearMonthOf(Clock::Today());
        filled = gMaster.Update(thisMonth, AddMonths(thisMonth, 60));
    } catch (const EngineError&) {
        filled = false;
    }
    if (!filled) {
        gDatabase.close();
        RemoveFile(gDataPath);
        ShowWarning(kCreateFailed);
        return kStartupEnded;
    }
    return std::nullopt;
}
