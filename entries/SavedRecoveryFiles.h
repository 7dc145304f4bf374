#pragma once

#include <QStringList>

// Of the recovery files `files`, removes without a word those whose text
// the calendar already holds for their day (the same text, or a text that
// contains it: the entry was saved after all, perhaps with more typed
// since), and returns the others, which still hold something the calendar
// lacks. A file that cannot be read (a sealed one without its keys), a day
// the calendar does not store, and an empty text where the day has one are
// kept; so is every file once the calendar cannot be read.
QStringList DropSavedRecoveryFiles(const QStringList& files);
