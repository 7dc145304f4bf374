#pragma once

#include "exchange/ImportFile.h"

// Reads the JSON this program writes (see JsonWriter): the format's name
// must be "zedu-diary" and its version one this reader knows. Every day
// needs its key, its workday flag and its entry; a day of the week, when
// given, must be the key's. Members it does not know are passed over.
class JsonReader
{
public:
    ReadResult read(const QByteArray& bytes) const;
};
