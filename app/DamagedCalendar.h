#pragma once

#include <optional>

// Start-up's answer to a calendar file that cannot be opened as a calendar
// (damaged, no calendar at all, columns of other kinds): after the warning,
// which names the backup folder, the backup made last of those that read as
// a calendar is offered. Yes sets the file aside under a new name in the
// backup folder and restores that backup; No ends the program. Without any
// backup the warning says what the user can do, and Yes to the question that
// follows moves the file into the backup folder and goes on as a first run
// does (the date questions, 61 months); No ends the program.
// Returns the exit code when start-up must end, std::nullopt to go on; a
// calendar that another program holds locked goes on too, with `locked` set:
// the window waits for it.
std::optional<int> OfferRestoreIfDamaged(bool& locked);
