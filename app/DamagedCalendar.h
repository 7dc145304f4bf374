#pragma once

#include <optional>

// Start-up's answer to a calendar file that cannot be opened as a calendar
// (damaged, no calendar at all, columns of other kinds): after the warning,
// which names the backup folder, the newest backup that reads as a calendar
// is offered. Yes sets the file aside under a new name in the backup folder
// and restores that backup; No, or no backup at all, ends the program.
// Returns the exit code when start-up must end, std::nullopt to go on; a
// calendar that another program holds locked goes on too, with `locked` set:
// the window waits for it.
std::optional<int> OfferRestoreIfDamaged(bool& locked);
