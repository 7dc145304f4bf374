#include "store/clsMaster.h"

#include "platform/DayKey.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/JapaneseHolidays.h"
#include "platform/basMain.h"
#include "store/CalendarCheck.h"
#include "store/CalendarEncryption.h"
#include "store/DayJournal.h"
#include "store/DirectQuery.h"
#include "store/FileSession.h"
#include "store/MasterChanges.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <limits>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

clsMaster gMaster;

namespace {

// A text value that binds as text: a null QString would be stored as NULL.
QString nonNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

// A stored flag as the journal keeps it: missing for NULL.
std::optional<bool> flagOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toBool();
}

// Before a bulk kind change, inside its transaction: the journal's picture
// of every stored day's kind, taken the first time and widened to the days
// stored since (a range widened at either end).
void pictureKinds(Database& db)
{
    DayJournal& journal = DayJournal::instance();
    QList<DayJournal::KindRow> days;
    const auto read = [&](const QString& sql, const QVariantList& values) {
        Query q(db, sql);
        for (const QVariant& value : values)
            q.bind(value);
        q.exec();
        while (q.next())
            days.append({q.value(0).toInt(), q.value(1).toInt(), flagOf(q.value(2))});
    };
    const QString columns = QStringLiteral("SELECT 日付, 曜日, 平日 FROM Master");
    if (!journal.hasKindPicture()) {
        read(columns, {});
    } else {
        read(columns + QStringLiteral(" WHERE 日付 < ?"), {journal.pictureFirst()});
        read(columns + QStringLiteral(" WHERE 日付 > ?"), {journal.pictureLast()});
    }
    if (!days.isEmpty())
        journal.addToKindPicture(days);
}

#ifndef Q_OS_WIN
bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
#endif

} // namespace

QString CreateFailedText(const EngineError& error)
{
    return kCreateFailed + QLatin1Char('\r') + error.userText(false);
}

QString CompactionTarget()
{
    return QFileInfo(gDataPath).absolutePath() + QStringLiteral("/New.vad");
}

void MakePrivate(const QString& path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

bool ReplaceFile(const QString& source, const QString& target, bool durable)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(source).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(target).utf16()),
                       MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
#else
    // The copy is on disk before it takes the calendar's name, and the
    // folder is flushed after, so a power cut leaves the old or the new file.
    if (durable && !syncPath(source, O_RDONLY))
        return false;
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) !=
        0)
        return false;
    if (durable)
        syncPath(QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
#endif
}

bool IsIntactCalendar(const QString& path)
{
    try {
        Database db;
        db.open(path);
        CheckCalendar(db, CalendarCheck::Full);
        return true;
    } catch (const EngineError&) {
        return false;
    }
}

QString UnusedAsideName(const QString& path)
{
    QString aside = path + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".damaged-%1").arg(n);
    return aside;
}

bool RecoverCalendarFile()
{
    // SQLite plays a journal back into whatever file carries the name beside
    // it. One left without its calendar belongs to no file that will come
    // there (the copy put in place, or a new calendar) and would damage it:
    // it is kept, under a name SQLite does not look at.
    const QString journal = gDataPath + QStringLiteral("-journal");
    if (!FileExists(gDataPath) && FileExists(journal)) {
        const QString aside = gDataPath + QStringLiteral("-journal.orphan");
        RemoveFile(aside);
        QFile::rename(journal, aside);
    }
    const QString compacted = CompactionTarget();
    if (FileExists(gDataPath) || !FileExists(compacted))
        return false;
    // An encrypted copy takes its name only once it is complete and on disk,
    // and cannot be checked before its keys are at hand: unlocking checks it.
    if ((IsEncryptedFile(compacted) || IsIntactCalendar(compacted)) &&
        ReplaceFile(compacted, gDataPath))
        return true;
    // The first run that follows would remove the copy to make its own: it
    // may still hold what the user wrote, so it is kept.
    QFile::rename(compacted, UnusedAsideName(compacted));
    return false;
}

bool IsUnfilledCalendar()
{
    try {
        FileSession session;
        Query tables(session.db(), QStringLiteral("SELECT count(*), "
                                                  "count(CASE WHEN name = 'Master' THEN 1 END) "
                                                  "FROM sqlite_master WHERE type = 'table'"));
        tables.exec();
        if (!tables.next())
            return false;
        const int tableCount = tables.value(0).toInt();
        const bool hasMaster = tables.value(1).toInt() > 0;
        tables.finish();
        if (tableCount == 0)
            return true;
        if (!hasMaster)
            return false;
        Query any(session.db(), QStringLiteral("SELECT EXISTS (SELECT 1 FROM Master)"));
        any.exec();
        return any.next() && !any.value(0).toBool();
    } catch (const EngineError&) {
        return false;
    }
}

void EnsureMasterTable()
{
    FileSession session;
    Query master(session.db(), QStringLiteral("SELECT count(*) FROM sqlite_master "
                                              "WHERE type = 'table' AND name = 'Master'"));
    master.exec();
    const bool present = master.next() && master.value(0).toInt() > 0;
    master.finish();
    if (!present)
        session.db().exec(kMasterSchema);
}

clsMaster::clsMaster() = default;
clsMaster::~clsMaster() = default;

int clsMaster::DateTop()
{
    FileSession session;
    Query q(session.db(),
            QStringLiteral("SELECT 日付 FROM Master WHERE 日付 > 0 ORDER BY 日付 LIMIT 1"));
    q.exec();
    return q.next() ? q.value(0).toInt() : 0;
}

int clsMaster::DateBottom()
{
    FileSession session;
    Query q(session.db(), QStringLiteral("SELECT 日付 FROM Master WHERE 日付 < 999999999 "
                                         "ORDER BY 日付 DESC LIMIT 1"));
    q.exec();
    return q.next() ? q.value(0).toInt() : 0;
}

bool clsMaster::PlanLoad(int DateIndex, QString& DatePlan)
{
    FileSession session;
    // Run for every day shown: prepared once per connection.
    DirectQuery& q =
        session.db().prepared(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = ?"));
    const auto done = qScopeGuard([&q] { q.finish(); });
    q.bind(DateIndex).exec();
    if (!q.next())
        return false;
    DatePlan = nonNull(q.value(0).toString());
    return true;
}

bool clsMaster::PlanSave(int DateIndex, const QString& DatePlan)
{
    FileSession session;
    DayJournal& journal = DayJournal::instance();
    // The text it replaces, for the journal's base: only before this run's
    // first write of the day.
    QString before;
    if (!journal.hasText(DateIndex)) {
        DirectQuery& read = session.db().prepared(
            QStringLiteral("SELECT coalesce(内容, '') FROM Master WHERE 日付 = ?"));
        const auto done = qScopeGuard([&read] { read.finish(); });
        read.bind(DateIndex).exec();
        if (!read.next())
            return false;
        before = read.value(0).toString();
    }
    // Run as the entry is typed: prepared once per connection.
    DirectQuery& q =
        session.db().prepared(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
    q.bind(nonNull(DatePlan)).bind(DateIndex).exec();
    if (q.numRowsAffected() == 0)
        return false;
    journal.noteText(DateIndex, before, nonNull(DatePlan));
    emit MasterChanges::instance().entrySaved(DateIndex, nonNull(DatePlan));
    return true;
}

clsMaster::SaveOutcome clsMaster::PlanSaveUnlessChanged(int DateIndex, const QString& Expected,
                                                        const QString& DatePlan, QString& Current)
{
    bool stored = true;
    {
        FileSession session;
        Query write(session.db(), QStringLiteral("UPDATE Master SET 内容 = ? "
                                                 "WHERE 日付 = ? AND coalesce(内容, '') = ?"));
        write.bind(nonNull(DatePlan)).bind(DateIndex).bind(nonNull(Expected)).exec();
        if (write.numRowsAffected() > 0) {
            DayJournal::instance().noteText(DateIndex, nonNull(Expected), nonNull(DatePlan));
            emit MasterChanges::instance().entrySaved(DateIndex, nonNull(DatePlan));
            return SaveOutcome::Saved;
        }
        Query read(session.db(),
                   QStringLiteral("SELECT coalesce(内容, '') FROM Master WHERE 日付 = ?"));
        read.bind(DateIndex).exec();
        stored = read.next();
        if (stored)
            Current = read.value(0).toString();
    }
    if (!stored) {
        // Another program changed the stored days under this one; announced
        // once the file is let go, since those who follow may read it again.
        emit MasterChanges::instance().entriesReplaced();
        return SaveOutcome::NotStored;
    }
    // What is on disk now, whoever wrote it, is what the entry holds.
    emit MasterChanges::instance().entrySaved(DateIndex, Current);
    return Current == DatePlan ? SaveOutcome::Saved : SaveOutcome::ChangedOnDisk;
}

void clsMaster::FieldPut()
{
    mInsertDay = std::make_unique<Query>(
        gDatabase, QStringLiteral("INSERT OR IGNORE INTO Master (日付, 曜日, 平日, 内容) "
                                  "VALUES (?, ?, ?, ?)"));
    // The same records in one statement: SQLite's calendar is the proleptic
    // Gregorian one of QDate, and %w counts from Sunday = 0 like 曜日. Its
    // date functions end with the year 9999, so later days take the loop.
    mInsertRange = std::make_unique<Query>(
        gDatabase,
        QStringLiteral("WITH RECURSIVE day(j) AS (SELECT julianday(?) UNION ALL "
                       "SELECT j + 1 FROM day WHERE j + 1 < julianday(?)) "
                       "INSERT OR IGNORE INTO Master (日付, 曜日, 平日, 内容) "
                       "SELECT CAST(strftime('%Y%m%d', j) AS INTEGER), "
                       "CAST(strftime('%w', j) AS INTEGER), strftime('%w', j) NOT IN ('0', '6'), "
                       "'' FROM day"));
}

bool clsMaster::ConfirmToday()
{
    const QString shown = FormatDayKey(TodayKey());
    const QString refused =
        QStringLiteral("システムの日付を変更してから、もう一度実行して下さい。");
    if (AskYesNo(QStringLiteral("暦ファイルを作成します。\r今日は「") + shown +
                 QStringLiteral("」で間違いありませんか？")) == Dialogs::No) {
        ShowWarning(refused);
        return false;
    }
    if (AskYesNo(QStringLiteral("本当に「") + shown + QStringLiteral("」で間違いありませんね？")) ==
        Dialogs::No) {
        ShowWarning(refused);
        return false;
    }
    return true;
}

bool clsMaster::Create()
{
    mLastError.reset();
    if (!ConfirmToday())
        return false;

    bool created = false;
    try {
        // The file and its table in one transaction.
        Database::Create(gDataPath, kMasterSchema);
        created = true;
        gDatabase.open(gDataPath, true);
    } catch (const EngineError& e) {
        mLastError = e;
    }
    try {
        gDatabase.close();
    } catch (const EngineError& e) {
        if (!mLastError)
            mLastError = e;
    }
    if (mLastError) {
        ShowWarning(CreateFailedText(*mLastError));
        // Only a file this call made is removed: never someone's calendar.
        if (created)
            RemoveFile(gDataPath);
        return false;
    }
    return true;
}

namespace {

// The first day of `YMTop` and the first day after `YMBottom`; std::nullopt
// when either is no real month. A last month of 13 would otherwise end the
// range a month late. Keys are worked out in 64 bits, so that a month whose
// day keys do not fit into the field fails instead of overflowing.
std::optional<std::pair<QDate, QDate>> rangeBounds(int YMTop, int YMBottom)
{
    auto realMonth = [](int ym) {
        const int month = ym % 100;
        return ym >= 100 && month >= 1 && month <= 12;
    };
    if (!realMonth(YMTop) || !realMonth(YMBottom))
        return std::nullopt;
    const qint64 lowerKey = qint64(YMTop) * 100 + 1;
    const qint64 nextMonth =
        YMBottom % 100 == 12 ? (qint64(YMBottom) / 100 + 1) * 100 + 1 : qint64(YMBottom) + 1;
    const qint64 upperKey = nextMonth * 100 + 1;
    if (upperKey > std::numeric_limits<int>::max() || lowerKey > std::numeric_limits<int>::max())
        return std::nullopt;
    const QDate lower = KeyToDate(int(lowerKey));
    const QDate upper = KeyToDate(int(upperKey));
    if (!lower.isValid() || !upper.isValid())
        return std::nullopt;
    return std::make_pair(lower, upper);
}

} // namespace

void clsMaster::ApplyRange(int YMTop, int YMBottom)
{
    const auto bounds = rangeBounds(YMTop, YMBottom);
    if (!bounds)
        throw EngineError(
            gDatabase.path(),
            QStringLiteral("the range %1-%2 names no real months").arg(YMTop).arg(YMBottom));
    const auto [lower, upper] = *bounds;
    Database& db = gDatabase;
    Query trimBelow(db, QStringLiteral("DELETE FROM Master WHERE 日付 < ?"));
    trimBelow.bind(DayKey(lower)).exec();
    Query trimAbove(db, QStringLiteral("DELETE FROM Master WHERE 日付 >= ?"));
    trimAbove.bind(DayKey(upper)).exec();
    FieldPut();
    try {
        if (lower >= upper) {
            // Nothing to generate (the first month lies after the last).
        } else if (upper.year() <= 9999) {
            const QString isoFormat = QStringLiteral("yyyy-MM-dd");
            mInsertRange->bind(lower.toString(isoFormat)).bind(upper.toString(isoFormat)).exec();
        } else {
            for (QDate day = lower; day < upper; day = day.addDays(1)) {
                const int week = day.dayOfWeek() % 7;
                mInsertDay->bind(DayKey(day)).bind(week).bind(week > 0 && week < 6);
                mInsertDay->bind(QStringLiteral("")).exec();
            }
        }
    } catch (const EngineError&) {
        mInsertDay.reset();
        mInsertRange.reset();
        throw;
    }
    mInsertDay.reset();
    mInsertRange.reset();
}

bool clsMaster::Update(int YMTop, int YMBottom)
{
    mLastError.reset();
    if (!rangeBounds(YMTop, YMBottom))
        return false;

    try {
        // Leaving the session by an exception rolls the change back and,
        // with speed priority off, closes the file again.
        FileSession session;
        Database& db = session.db();
        reachPhase(UpdatePhase::Started);
        db.beginTrans();
        ApplyRange(YMTop, YMBottom);
        reachPhase(UpdatePhase::Filled);
        db.commitTrans();
    } catch (const EngineError& e) {
        mLastError = e;
        return false;
    }

    // The file must be closed to be compacted and replaced.
    gDatabase.close();
    reachPhase(UpdatePhase::Committed);
    const QString target = CompactionTarget();
    bool compacted = false;
    try {
        // A stale copy would make the compaction fail; an empty file made
        // here is taken by it, so the copy is private from its first byte.
        if (!RemoveFile(target))
            throw EngineError(target, QStringLiteral("a stale copy cannot be removed"));
        QFile placeholder(target);
        if (!placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw EngineError(target, placeholder.errorString());
        placeholder.close();
        {
            Database source;
            source.open(gDataPath);
            source.compactInto(target);
        }
        reachPhase(UpdatePhase::Compacted);
        compacted = ReplaceFile(target, gDataPath);
    } catch (const EngineError&) {
        compacted = false;
    }
    if (compacted)
        reachPhase(UpdatePhase::Replaced);
    else
        RemoveFile(target);
    MakePrivate(gDataPath);
    // The change is committed, whether or not the handle opens again.
    CalendarFileReplaced();
    return true;
}

void clsMaster::reachPhase(UpdatePhase phase)
{
    if (mPhaseHook)
        mPhaseHook(phase);
}

void clsMaster::setUpdatePhaseHookForTesting(std::function<void(UpdatePhase)> hook)
{
    mPhaseHook = std::move(hook);
}

// ---- day kinds and yearly events -------------------------------------------

void clsMaster::WeekDayChange(int DateValue)
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    Query read(db, QStringLiteral("SELECT 平日 FROM Master WHERE 日付 = ?"));
    read.bind(DateValue).exec();
    if (!read.next()) {
        db.rollback();
        return;
    }
    const std::optional<bool> before = flagOf(read.value(0));
    read.finish();
    Query q(db, QStringLiteral("UPDATE Master SET 平日 = NOT coalesce(平日, 0) WHERE 日付 = ?"));
    q.bind(DateValue).exec();
    db.commitTrans();
    DayJournal::instance().noteKind(DateValue, before, !before.value_or(false));
}

void clsMaster::WeekDayChangeAll(int Month, int Day)
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    pictureKinds(db);
    // Only workdays are written: a holiday stays as it is.
    Query q(db, QStringLiteral("UPDATE Master SET 平日 = 0 WHERE 平日 <> 0 AND 日付 % 10000 = ?"));
    q.bind(Month * 100 + Day).exec();
    db.commitTrans();
    DayJournal::instance().makeHolidays(Month * 100 + Day);
}

void clsMaster::WeekDayClear(bool Value)
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    pictureKinds(db);
    Query q(db, QStringLiteral("UPDATE Master SET 平日 = ? WHERE 平日 IS NOT ?"));
    q.bind(Value).bind(Value).exec();
    db.commitTrans();
    DayJournal::instance().setAllKinds(Value);
}

void clsMaster::WeekWeekDayChange(int Week, bool Value)
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    pictureKinds(db);
    Query q(db, QStringLiteral("UPDATE Master SET 平日 = ? WHERE 曜日 = ? AND 平日 IS NOT ?"));
    q.bind(Value).bind(Week).bind(Value).exec();
    db.commitTrans();
    DayJournal::instance().setWeekKinds(Week, Value);
}

void clsMaster::PublicHolidaySet()
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    // The holidays of the stored years; those outside the stored days find
    // no record. The two bounds are looked up one by one, since min and max
    // in one select would scan the whole table.
    Query range(db, QStringLiteral("SELECT (SELECT min(日付) FROM Master), "
                                   "(SELECT max(日付) FROM Master)"));
    range.exec();
    const bool any = range.next() && !range.value(0).isNull();
    const int firstYear = any ? std::max(range.value(0).toInt() / 10000, 1) : 0;
    const int lastYear = any ? range.value(1).toInt() / 10000 : -1;
    range.finish();
    // Only days not yet marked are written; a missing flag counts as a
    // workday, as the grid shows it.
    pictureKinds(db);
    Query mark(db, QStringLiteral("UPDATE Master SET 平日 = 0 WHERE 日付 = ? AND 平日 IS NOT 0"));
    QList<int> holidays;
    if (firstYear <= lastYear)
        for (const JapaneseHoliday& holiday :
             JapaneseHolidays(QDate(firstYear, 1, 1), QDate(lastYear, 12, 31))) {
            holidays.append(DayKey(holiday.date));
            mark.bind(holidays.last()).exec();
        }
    db.commitTrans();
    DayJournal::instance().makeHolidaysOf(holidays);
}

void clsMaster::PlanInsert(int Month, int Day, const QString& InsertStr)
{
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    Query q(db, QStringLiteral("UPDATE Master SET 内容 = ? || char(13, 10) || coalesce(内容, '') "
                               "WHERE 日付 % 10000 = ? RETURNING 日付, 内容"));
    q.bind(nonNull(InsertStr)).bind(Month * 100 + Day).exec();
    // Each day's text before is what follows the line put before it.
    const qsizetype prefix = nonNull(InsertStr).size() + 2;
    QList<std::pair<int, QString>> written;
    while (q.next())
        written.append({q.value(0).toInt(), q.value(1).toString()});
    q.finish();
    db.commitTrans();
    DayJournal& journal = DayJournal::instance();
    for (const auto& [key, text] : std::as_const(written))
        journal.noteText(key, text.mid(prefix), text);
    emit MasterChanges::instance().yearlyEntriesChanged(Month * 100 + Day);
}
