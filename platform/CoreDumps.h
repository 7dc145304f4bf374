#pragma once

// A core dump writes the whole memory of the process to disk: for an
// encrypted calendar, the diary in plain text beside the calendar. Once the
// program meets an encrypted calendar it makes none for the rest of its run
// (turning encryption off does not bring them back: the diary may still be
// in memory that was freed).

// Makes the process write no core dump from now on: not dumpable (which
// also keeps other processes of the user from attaching to it) and a core
// size limit of 0, which the programs it starts inherit. Does nothing where
// the system has no such switches.
void PreventCoreDumps();
