#pragma once

#include "store/DayRows.h"

#include <QList>
#include <QString>

class SecureBytes;

// Another copy of the calendar beside it (one that a sync program kept
// under a conflict name, say), read without ever being written.

// Every day of the copy at `path`, opened for reading only, in key order.
// An encrypted copy opens with the keys held for the calendar; one sealed
// with other keys (encrypted on its own elsewhere) opens with `password`
// when one is given, without changing the keys held. Throws EngineError:
// Locked for a copy sealed with other keys and no password, NotCalendar or
// Damaged for a file that does not read as a calendar. Throws EnvelopeError
// for a wrong password.
QList<DayRow> ReadCalendarCopy(const QString& path, const SecureBytes* password = nullptr);
