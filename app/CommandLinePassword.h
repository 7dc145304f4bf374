#pragma once

#include "store/SecureBytes.h"

#include <QString>

#include <optional>

// The password of an encrypted calendar for the command line, never taken
// from an argument (others could read it in the list of processes).

// One line read from the open file descriptor `fd` (a pipe, a file a
// script opened), without its line break. Empty when nothing could be read.
std::optional<SecureBytes> ReadPasswordFrom(int fd);

// Asks on the terminal the program runs in (not its standard input, which
// may be redirected) with `prompt`, the typed characters not shown. Empty
// when there is no terminal to ask on.
std::optional<SecureBytes> AskPasswordOnTerminal(const QString& prompt);
