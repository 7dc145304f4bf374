#pragma once

#include <functional>

// Calls `onQuit` in the event loop when the process receives SIGTERM, SIGHUP
// or SIGINT (a logout, a shutdown, a closed terminal, Ctrl+C in the terminal
// that started it), so that the program can save before it ends. Installing
// again replaces the callback.
void WatchQuitSignals(std::function<void()> onQuit);
