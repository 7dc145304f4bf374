#pragma once

#include <QHash>
#include <QString>

// The names of Japan's public holidays by day key, worked out a year at a
// time as days are asked for in key order.
class HolidayNames
{
public:
    // The holiday's name, or "" when the day is none.
    QString nameOf(int key);

private:
    int mYear = -1;
    QHash<int, QString> mNames;
};
