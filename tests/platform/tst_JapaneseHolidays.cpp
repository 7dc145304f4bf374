#include "platform/JapaneseHolidays.h"
#include "tests/support/TestMain.h"

#include <QFile>

class tst_JapaneseHolidays : public QObject
{
    Q_OBJECT

private slots:
    void everyDayOf1970To2027AsTheOfficialList()
    {
        // Lines "date,name" in date order. The list names a substitute
        // holiday after the day it stands for ("文化の日 振替休日"); the
        // engine calls every one "振替休日".
        QStringList official;
        QFile file(QStringLiteral(ZEDU_HOLIDAY_LIST));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        while (!file.atEnd()) {
            QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.endsWith(QStringLiteral(" 振替休日")))
                line = line.left(11) + QStringLiteral("振替休日");
            if (!line.startsWith(QLatin1Char('#')))
                official << line;
        }
        QCOMPARE(official.size(), 920);
        QStringList span;
        for (const JapaneseHoliday& h : JapaneseHolidays(QDate(1970, 1, 1), QDate(2027, 12, 31)))
            span << h.date.toString(Qt::ISODate) + QLatin1Char(',') + h.name;
        QCOMPARE(span, official);
    }

    void specialDays()
    {
        // "date=name", an empty name for a day that is no holiday.
        const QStringList expected =
            QStringLiteral(
                // The accession of 2019 and the Olympic years.
                "2019-04-30=休日 2019-05-01=休日（祝日扱い） 2019-05-02=休日 2019-05-06=振替休日 "
                "2020-07-23=海の日 2020-07-24=スポーツの日 2020-08-10=山の日 "
                "2021-07-22=海の日 2021-07-23=スポーツの日 2021-08-08=山の日 2021-08-09=振替休日 "
                "2009-09-22=休日 2015-09-22=休日 2026-09-22=休日 "
                // Before the list: nothing before the Act, no substitute before 1973.
                "1948-07-19= 1948-09-23=秋分の日 1949-03-21=春分の日 1959-04-10=結婚の儀 "
                "1965-09-15= 1966-09-15=敬老の日 1967-01-02= 1967-02-11=建国記念の日 "
                // No equinox day is answered after 2099.
                "2099-03-20=春分の日 2100-01-01=元日 2100-03-20= 2100-03-21= 2100-09-23=")
                .split(QLatin1Char(' '));
        QStringList actual;
        for (const QString& entry : expected)
            actual << entry.left(11) +
                          JapaneseHolidayName(QDate::fromString(entry.left(10), Qt::ISODate));
        QCOMPARE(actual, expected);
    }
};

ZEDU_TEST_MAIN(tst_JapaneseHolidays)
#include "tst_JapaneseHolidays.moc"
