// Times the calendar store against plain SQL doing the same file work, and
// prints one line per operation:
//   <operation>  store <ms> ms  baseline <ms> ms  ratio <store/baseline>
// Run from a release build: build/release/bench/zedu_bench_store

#include "bench/BenchTiming.h"
#include "bench/YesDialogs.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/JapaneseHolidays.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The same file work in plain SQL, on a connection of its own, opened the
// way the store opens the calendar: an existing file named by its URI
// (mode=rw, which never creates one) and the same wait for a locked file,
// with SQLite's default journal (delete) and synchronous (full) settings,
// which the store keeps too.
class Plain
{
public:
    explicit Plain(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=rw"));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(Database::busyWait()));
        db.open();
    }
    ~Plain()
    {
        QSqlDatabase::database(name(), false).close();
        QSqlDatabase::removeDatabase(name());
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name(), false); }
    void exec(const QString& sql)
    {
        QSqlQuery q(db());
        q.exec(sql);
    }
    void fill(int top, int bottom)
    {
        db().transaction();
        QSqlQuery q(db());
        q.prepare(QStringLiteral("DELETE FROM Master WHERE 日付 < ?"));
        q.addBindValue(top * 100 + 1);
        q.exec();
        q.prepare(QStringLiteral("DELETE FROM Master WHERE 日付 >= ?"));
        q.addBindValue(AddMonths(bottom, 1) * 100 + 1);
        q.exec();
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO Master VALUES (?, ?, ?, ?)"));
        const QDate end = KeyToDate(AddMonths(bottom, 1) * 100 + 1);
        for (QDate d = KeyToDate(top * 100 + 1); d < end; d = d.addDays(1)) {
            const int week = d.dayOfWeek() % 7;
            q.addBindValue(DayKey(d));
            q.addBindValue(week);
            q.addBindValue(week > 0 && week < 6);
            q.addBindValue(QStringLiteral(""));
            q.exec();
        }
        db().commit();
    }
    static QString name() { return QStringLiteral("plain"); }
};

// Flushes a file or, with O_DIRECTORY, a folder to disk.
void syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The compaction the store does: a compacted copy beside the file, flushed,
// renamed over the file, and the folder flushed.
void compactPlain(const QString& path)
{
    const QString target = path + QStringLiteral(".new");
    QFile::remove(target);
    {
        Plain plain(path);
        QSqlQuery q(plain.db());
        q.prepare(QStringLiteral("VACUUM INTO ?"));
        q.addBindValue(target);
        q.exec();
    }
    syncPath(target, O_RDONLY);
    std::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData());
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

void freshFile(const QString& path)
{
    QFile::remove(path);
    QFile::remove(CompactionTarget());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    YesDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    QTemporaryDir dir;
    gDataPath = dir.filePath(QStringLiteral("Data.vad"));
    const QString plainPath = dir.filePath(QStringLiteral("plain.vad"));
    const int top = 202612;
    const int bottom = AddMonths(top, 60);
    const int thirtyYears = AddMonths(top, 359);
    constexpr int runs = 21;

    gOpenFlag = false;
    report("first run (61 months)",
           median(
               runs, [&] { freshFile(gDataPath); },
               [&] {
                   gMaster.Create();
                   gMaster.Update(top, bottom);
               }),
           median(
               runs, [&] { QFile::remove(plainPath); },
               [&] {
                   {
                       QFile(plainPath).open(QIODevice::WriteOnly);
                       Plain plain(plainPath);
                       plain.exec(kMasterSchema);
                       plain.fill(top, bottom);
                   }
                   compactPlain(plainPath);
               }));

    report("range to 30 years",
           median(
               runs,
               [&] {
                   freshFile(gDataPath);
                   gMaster.Create();
                   gMaster.Update(top, bottom);
               },
               [&] { gMaster.Update(top, thirtyYears); }),
           median(
               runs,
               [&] {
                   QFile::remove(plainPath);
                   QFile(plainPath).open(QIODevice::WriteOnly);
                   Plain plain(plainPath);
                   plain.exec(kMasterSchema);
                   plain.fill(top, bottom);
               },
               [&] {
                   {
                       Plain plain(plainPath);
                       plain.fill(top, thirtyYears);
                   }
                   compactPlain(plainPath);
               }));

    // From here on both files hold thirty years.
    {
        Plain plain(plainPath);
        plain.fill(top, thirtyYears);
    }
    const int day = DayKey(QDate(2030, 5, 15));
    const QString text = QStringLiteral("会議 10:00\r\n夕食 19:00");
    for (const bool speed : {true, false}) {
        gOpenFlag = speed;
        if (speed)
            gDatabase.open(gDataPath);
        std::unique_ptr<Plain> shared = speed ? std::make_unique<Plain>(plainPath) : nullptr;
        auto plainSave = [&] {
            std::unique_ptr<Plain> own = speed ? nullptr : std::make_unique<Plain>(plainPath);
            QSqlQuery q((speed ? shared : own)->db());
            q.prepare(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
            q.addBindValue(text);
            q.addBindValue(day);
            q.exec();
        };
        auto plainLoad = [&] {
            std::unique_ptr<Plain> own = speed ? nullptr : std::make_unique<Plain>(plainPath);
            QSqlQuery q((speed ? shared : own)->db());
            q.prepare(QStringLiteral("SELECT 内容 FROM Master WHERE 日付 = ?"));
            q.addBindValue(day);
            q.exec();
            q.next();
        };
        const int repeat = 50;
        auto times = [&](const std::function<void()>& f) {
            return [f, repeat] {
                for (int i = 0; i < repeat; ++i)
                    f();
            };
        };
        QString loaded;
        report(speed ? "PlanSave x50, flag on" : "PlanSave x50, flag off",
               median(
                   runs, [] {}, times([&] { gMaster.PlanSave(day, text); })),
               median(
                   runs, [] {}, times(plainSave)));
        report(speed ? "PlanLoad x50, flag on" : "PlanLoad x50, flag off",
               median(
                   runs, [] {}, times([&] { gMaster.PlanLoad(day, loaded); })),
               median(
                   runs, [] {}, times(plainLoad)));
        gDatabase.close();
    }

    // Bulk operations on thirty years, flag off, each beside the same UPDATE
    // in one transaction.
    gOpenFlag = false;
    auto plainBulk = [&](const QString& sql, const QVariantList& values) {
        return [&, sql, values] {
            Plain plain(plainPath);
            plain.db().transaction();
            QSqlQuery q(plain.db());
            q.prepare(sql);
            for (const QVariant& v : values)
                q.addBindValue(v);
            q.exec();
            plain.db().commit();
        };
    };
    // One alternating value for each side, so that every run of either writes.
    bool flip = false;
    bool plainFlip = false;
    report(
        "WeekDayChange",
        median(
            runs, [] {}, [&] { gMaster.WeekDayChange(day); }),
        median(
            runs, [] {},
            plainBulk(QStringLiteral("UPDATE Master SET 平日 = NOT 平日 WHERE 日付 = ?"), {day})));
    report("WeekDayChangeAll",
           median(
               runs, [&] { gMaster.WeekDayClear(true); }, [&] { gMaster.WeekDayChangeAll(5, 15); }),
           median(runs, plainBulk(QStringLiteral("UPDATE Master SET 平日 = 1"), {}),
                  plainBulk(QStringLiteral("UPDATE Master SET 平日 = 0 WHERE 平日 <> 0 AND 日付 % "
                                           "10000 = ?"),
                            {515})));
    report("WeekDayClear",
           median(
               runs, [&] { flip = !flip; }, [&] { gMaster.WeekDayClear(flip); }),
           median(
               runs, [&] { plainFlip = !plainFlip; },
               [&] {
                   plainBulk(QStringLiteral("UPDATE Master SET 平日 = ? WHERE 平日 IS NOT ?"),
                             {plainFlip, plainFlip})();
               }));
    report("WeekWeekDayChange",
           median(
               runs, [&] { flip = !flip; }, [&] { gMaster.WeekWeekDayChange(3, flip); }),
           median(
               runs, [&] { plainFlip = !plainFlip; },
               [&] {
                   plainBulk(QStringLiteral("UPDATE Master SET 平日 = ? WHERE 曜日 = 3 AND "
                                            "平日 IS NOT ?"),
                             {plainFlip, plainFlip})();
               }));
    report("PlanInsert",
           median(
               runs, [] {}, [&] { gMaster.PlanInsert(5, 15, QStringLiteral("行事")); }),
           median(
               runs, [] {},
               plainBulk(QStringLiteral("UPDATE Master SET 内容 = ? || char(13, 10) || "
                                        "coalesce(内容, '') WHERE 日付 % 10000 = ?"),
                         {QStringLiteral("行事"), 515})));

    // The public holidays of a hundred years (2000-2099), flag off, after
    // every day was made a workday, so that each run writes every holiday.
    // The baseline updates the same days by key in one transaction; the
    // store's time includes working out which days they are.
    gDataPath = dir.filePath(QStringLiteral("Century.vad"));
    const QString centuryPlain = dir.filePath(QStringLiteral("centuryPlain.vad"));
    gMaster.Create();
    gMaster.Update(200001, 209912);
    {
        QFile(centuryPlain).open(QIODevice::WriteOnly);
        Plain plain(centuryPlain);
        plain.exec(kMasterSchema);
        plain.fill(200001, 209912);
    }
    QList<int> holidayKeys;
    for (const JapaneseHoliday& h : JapaneseHolidays(QDate(2000, 1, 1), QDate(2099, 12, 31)))
        holidayKeys.append(DayKey(h.date));
    report("PublicHolidaySet",
           median(
               runs, [&] { gMaster.WeekDayClear(true); }, [&] { gMaster.PublicHolidaySet(); }),
           median(
               runs,
               [&] {
                   Plain plain(centuryPlain);
                   plain.exec(QStringLiteral("UPDATE Master SET 平日 = 1"));
               },
               [&] {
                   Plain plain(centuryPlain);
                   plain.db().transaction();
                   QSqlQuery q(plain.db());
                   q.prepare(QStringLiteral(
                       "UPDATE Master SET 平日 = 0 WHERE 日付 = ? AND 平日 IS NOT 0"));
                   for (int key : holidayKeys) {
                       q.addBindValue(key);
                       q.exec();
                   }
                   plain.db().commit();
               }));
    // The automatic backup of a 100-year calendar (36,525 days, an entry on
    // every tenth), beside a plain VACUUM INTO a new file that is flushed,
    // renamed and its folder flushed, as the backup is.
    gOpenFlag = true;
    freshFile(gDataPath);
    gMaster.Create();
    gDatabase.open(gDataPath);
    gMaster.Update(200001, 209912);
    {
        Plain plain(gDataPath);
        plain.exec(QStringLiteral("UPDATE Master SET 内容 = '会議 10:00' || char(13, 10) || "
                                  "'夕食 19:00' WHERE 日付 % 10 = 0"));
    }
    const QString plainCopy = dir.filePath(QStringLiteral("copy.vad"));
    {
        // Both on a connection that is already open, as under speed priority.
        Plain plain(gDataPath);
        report("backup (100 years)",
               median(
                   runs, [] {}, [] { BackupCalendar(); }),
               median(
                   runs, [&] { QFile::remove(plainCopy); },
                   [&] {
                       const QString part = plainCopy + QStringLiteral(".part");
                       {
                           QSqlQuery q(plain.db());
                           q.prepare(QStringLiteral("VACUUM INTO ?"));
                           q.addBindValue(part);
                           q.exec();
                       }
                       syncPath(part, O_RDONLY);
                       std::rename(QFile::encodeName(part).constData(),
                                   QFile::encodeName(plainCopy).constData());
                       syncPath(dir.path(), O_RDONLY | O_DIRECTORY);
                   }));
    }
    gDatabase.close();
    return 0;
}
