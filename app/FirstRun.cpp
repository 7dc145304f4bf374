#include "app/FirstRun.h"

#include "platform/Globals.h"
#include "platform/basMain.h"

std::optional<int> PrepareCalendarFile()
{
    // 7. An existing calendar goes straight to the main window.
    if (FileExists(gDataPath))
        return std::nullopt;
    // 8. First run: not built yet.
    return std::nullopt;
}
