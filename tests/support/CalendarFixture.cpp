#include "tests/support/CalendarFixture.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>

#include <cstdio>

SqlPeek::SqlPeek(const QString& path) : mName(QUuid::createUuid().toString())
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mName);
    db.setDatabaseName(path);
    mOk = db.open();
}

SqlPeek::~SqlPeek()
{
    QSqlDatabase::database(mName, false).close();
    QSqlDatabase::removeDatabase(mName);
}

bool SqlPeek::exec(const QString& sql, const QVariantList& values, int* affected) const
{
    QSqlQuery q(QSqlDatabase::database(mName, false));
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        return false;
    if (affected)
        *affected = q.numRowsAffected();
    return true;
}

QList<QVariantList> SqlPeek::rows(const QString& sql, const QVariantList& values) const
{
    QSqlQuery q(QSqlDatabase::database(mName, false));
    QList<QVariantList> result;
    if (!q.prepare(sql))
        return result;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        return result;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        result << row;
    }
    return result;
}

QVariant SqlPeek::one(const QString& sql, const QVariantList& values) const
{
    const QList<QVariantList> r = rows(sql, values);
    return r.isEmpty() ? QVariant() : r.first().value(0);
}

bool MakeCalendarFile(const QString& path, int firstYm, int lastYm)
{
    SqlPeek c(path);
    if (!c.ok() ||
        !c.exec(QStringLiteral("CREATE TABLE Master (日付 INTEGER NOT NULL, 曜日 SMALLINT, "
                               "平日 BOOLEAN, 内容 TEXT, "
                               "CONSTRAINT PrimaryKey PRIMARY KEY (日付))")))
        return false;
    if (!c.exec(QStringLiteral("BEGIN")))
        return false;
    QDate day(firstYm / 100, firstYm % 100, 1);
    const QDate end = QDate(lastYm / 100, lastYm % 100, 1).addMonths(1);
    for (; day < end; day = day.addDays(1)) {
        const int week = day.dayOfWeek() % 7;
        if (!c.exec(
                QStringLiteral("INSERT INTO Master VALUES (?, ?, ?, '')"),
                {day.year() * 10000 + day.month() * 100 + day.day(), week, week > 0 && week < 6}))
            return false;
    }
    return c.exec(QStringLiteral("COMMIT"));
}

QVariant ReadDayField(const QString& path, int dayKey, const QString& column)
{
    // The column name comes from the test itself, never from data.
    return SqlPeek(path).one(QStringLiteral("SELECT \"%1\" FROM Master WHERE 日付 = ?").arg(column),
                             {dayKey});
}

bool WriteDayEntry(const QString& path, int dayKey, const QString& entry)
{
    int affected = 0;
    return SqlPeek(path).exec(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"),
                              {entry, dayKey}, &affected) &&
           affected == 1;
}

QByteArray FileDigest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

bool RenameOverAsSyncProgram(const QString& copy, const QString& calendar)
{
    QFile file(copy);
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15)),
                          QFileDevice::FileModificationTime))
        return false;
    file.close();
    return std::rename(QFile::encodeName(copy).constData(),
                       QFile::encodeName(calendar).constData()) == 0;
}

bool OwnerOnly(const QString& path)
{
    const QFile::Permissions p = QFile::permissions(path);
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    return (p & QFile::ReadOwner) && (p & QFile::WriteOwner) && !(p & others);
}
