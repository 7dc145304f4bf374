#pragma once

#include <optional>

// Start-up's care for an encrypted calendar, before anything reads it: the
// password box (or the recovery key, after which a new password may be
// set), asked again after a wrong answer. Returns the exit code when
// start-up must end (the user cancelled, or the file cannot be opened at
// all: its warning names the cause), std::nullopt to go on, with the keys
// held. A plain calendar goes on at once. A calendar whose keys opened but
// whose contents failed their checks goes on too, for the offer of a
// backup that follows.
std::optional<int> UnlockEncryptedCalendar();
