#include "exchange/HolidayNames.h"

#include "platform/DayKey.h"
#include "platform/JapaneseHolidays.h"

QString HolidayNames::nameOf(int key)
{
    const int year = key / 10000;
    if (year != mYear) {
        mYear = year;
        mNames.clear();
        for (const JapaneseHoliday& h : JapaneseHolidays(QDate(year, 1, 1), QDate(year, 12, 31)))
            mNames.insert(DayKey(h.date), h.name);
    }
    return mNames.value(key);
}
