#pragma once

#include <QString>

class QPrinter;

// Files written out of the calendar in plain text: the export's, and the
// pages that 印刷 sends to a file instead of a printer. Out of an encrypted
// calendar each is asked for first and readable by its owner only.

// Asks, when the calendar is encrypted, whether the diary may go into a
// file that is not: true to go on (always on a plain calendar).
bool ConfirmPlainFile();

// True when `printer` is about to write a file (a PDF) rather than print on
// paper or draw the pages of a preview.
bool PrintsToFile(const QPrinter& printer);

// Makes the file at `path` readable and writable by its owner only before
// anything is written into it: a missing one is made empty that way, an
// existing one is changed. False when neither works.
bool MakeOwnerOnlyFile(const QString& path);
