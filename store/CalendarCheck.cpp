#include "store/CalendarCheck.h"

#include "store/FileSession.h"

#include <QHash>

namespace {

// SQLite's column affinities, worked out from a declared type by its own
// rules, in their order.
enum class Affinity
{
    Integer,
    Text,
    Blob,
    Real,
    Numeric
};

Affinity affinityOf(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
        type.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

EngineError noCalendar(const Database& db, const QString& why,
                       EngineError::Cause cause = EngineError::Cause::NotCalendar)
{
    return EngineError(db.path(), why, cause);
}

} // namespace

void CheckCalendar(Database& db, CalendarCheck depth)
{
    QHash<QString, Affinity> columns;
    {
        Query info(db, QStringLiteral("PRAGMA table_info(Master)"));
        info.exec();
        while (info.next())
            columns.insert(info.value(1).toString(), affinityOf(info.value(2).toString()));
    }
    if (columns.isEmpty())
        throw noCalendar(db, QStringLiteral("the file holds no table Master"));
    // A flag may be declared as a number of any kind; text in the key or
    // the day of the week would sort and compare as text.
    const struct
    {
        const char16_t* name;
        QList<Affinity> kinds;
    } expected[] = {{u"日付", {Affinity::Integer}},
                    {u"曜日", {Affinity::Integer}},
                    {u"平日", {Affinity::Integer, Affinity::Numeric}},
                    {u"内容", {Affinity::Text}}};
    for (const auto& column : expected) {
        const QString name = QString::fromUtf16(column.name);
        const auto found = columns.constFind(name);
        if (found == columns.cend())
            throw noCalendar(db, QStringLiteral("table Master has no column %1").arg(name));
        if (!column.kinds.contains(*found))
            throw noCalendar(db, QStringLiteral("column %1 of table Master holds values of "
                                                "another kind")
                                     .arg(name));
    }
    {
        Query any(db, QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master LIMIT 1"));
        any.exec();
        any.next();
    }
    if (depth == CalendarCheck::Columns)
        return;
    Query check(db, depth == CalendarCheck::Full ? QStringLiteral("PRAGMA integrity_check(1)")
                                                 : QStringLiteral("PRAGMA quick_check(1)"));
    check.exec();
    const QString verdict = check.next() ? check.value(0).toString() : QString();
    if (verdict != QLatin1String("ok"))
        throw noCalendar(db,
                         verdict.isEmpty() ? QStringLiteral("the file cannot be checked")
                                           : verdict.simplified(),
                         EngineError::Cause::Damaged);
}

void CheckCalendarFile()
{
    FileSession session;
    CheckCalendar(session.db(), CalendarCheck::Pages);
}
