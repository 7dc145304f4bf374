#include "tests/support/CalendarFixture.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

// A connection of its own, removed again when the scope ends.
class Connection
{
public:
    explicit Connection(const QString& path) : mName(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mName);
        db.setDatabaseName(path);
        mOk = db.open();
    }
    ~Connection()
    {
        QSqlDatabase::database(mName, false).close();
        QSqlDatabase::removeDatabase(mName);
    }
    bool ok() const { return mOk; }
    QSqlDatabase db() const { return QSqlDatabase::database(mName, false); }

private:
    QString mName;
    bool mOk = false;
};

} // namespace

bool MakeCalendarFile(const QString& path, int firstYm, int lastYm)
{
    Connection c(path);
    if (!c.ok())
        return false;
    {
        QSqlQuery q(c.db());
        if (!q.exec(QStringLiteral("CREATE TABLE Master (日付 INTEGER NOT NULL, 曜日 SMALLINT, "
                                   "平日 BOOLEAN, 内容 TEXT, "
                                   "CONSTRAINT PrimaryKey PRIMARY KEY (日付))")))
            return false;
        c.db().transaction();
        QSqlQuery insert(c.db());
        insert.prepare(QStringLiteral("INSERT INTO Master VALUES (?, ?, ?, '')"));
        QDate day(firstYm / 100, firstYm % 100, 1);
        const QDate end = QDate(lastYm / 100, lastYm % 100, 1).addMonths(1);
        for (; day < end; day = day.addDays(1)) {
            const int week = day.dayOfWeek() % 7;
            insert.addBindValue(day.year() * 10000 + day.month() * 100 + day.day());
            insert.addBindValue(week);
            insert.addBindValue(week > 0 && week < 6);
            if (!insert.exec())
                return false;
        }
        if (!c.db().commit())
            return false;
    }
    return true;
}

QVariant ReadDayField(const QString& path, int dayKey, const QString& column)
{
    Connection c(path);
    QSqlQuery q(c.db());
    // The column name comes from the test itself, never from data.
    q.prepare(QStringLiteral("SELECT \"%1\" FROM Master WHERE 日付 = ?").arg(column));
    q.addBindValue(dayKey);
    if (!q.exec() || !q.next())
        return QVariant();
    return q.value(0);
}

bool WriteDayEntry(const QString& path, int dayKey, const QString& entry)
{
    Connection c(path);
    QSqlQuery q(c.db());
    q.prepare(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
    q.addBindValue(entry);
    q.addBindValue(dayKey);
    return q.exec() && q.numRowsAffected() == 1;
}
