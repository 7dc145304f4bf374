#pragma once

#include "exchange/ImportFile.h"

// Reads CSV after RFC 4180 in UTF-8 (with or without a byte-order mark) or
// in Shift_JIS as Windows writes it (CP932), whichever decodes cleanly, and
// says which (records end with CR LF, LF or CR): the header names the columns 日付 and
// 内容, and may name 曜日 and 平日, in any order; other columns are passed
// over. 日付 is a day key (20261207); 曜日, when not empty, must be the day's
// (0 = Sunday); 平日 is 1, 0 or empty for a missing flag; 内容 is taken as
// written, quoted line breaks included, and an empty field without quotes
// is a missing entry. Blank lines are passed over.
class CsvReader
{
public:
    ReadResult read(const QByteArray& bytes) const;
};
