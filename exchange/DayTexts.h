#pragma once

#include "store/DayRows.h"

#include <QString>
#include <QStringList>

// Texts about a day that several formats and the printed pages share.

// The day of the week's name, 0 = Sunday: "日" ... "土".
QString WeekName(int week);
// The entry list's form: "2026/12/07(月)", with "（休日）" after a holiday.
QString ListHeading(const DayRow& day);
// The long form: "2026年12月7日（月）".
QString LongDate(int key);
// The lines of an entry: CR LF, a lone CR and a lone LF each end a line. A
// line break at the very end ends the last line and starts no new one.
QStringList EntryLines(const QString& text);
// The line break of text files on this system.
QString TextLineBreak();
