#pragma once

#include <optional>

// Start-up's care for the calendar file once gDataPath is known: an existing
// calendar is used as it is; otherwise the first run creates and fills one.
// Returns the exit code when start-up must end, std::nullopt to go on.
std::optional<int> PrepareCalendarFile();
