#pragma once

#include <QString>

#include <functional>
#include <memory>

class Query;

// The calendar store: every write to the calendar file goes through the one
// instance gMaster. Single-day operations and the range change follow the
// open policy of FileSession; the range change also compacts the file.
class clsMaster
{
public:
    clsMaster();
    ~clsMaster();

    // Smallest / largest stored day key, 0 when the table is empty.
    int DateTop();
    int DateBottom();

    // The entry of a stored day into `DatePlan` (left untouched when the day
    // is not stored). True when the day is stored.
    bool PlanLoad(int DateIndex, QString& DatePlan);
    // Writes the entry of a stored day; false, writing nothing, when the day
    // is not stored.
    bool PlanSave(int DateIndex, const QString& DatePlan);

    // Switches one day between workday and holiday.
    void WeekDayChange(int DateValue);
    // Makes the month and day a holiday in every stored year.
    void WeekDayChangeAll(int Month, int Day);
    // Gives every stored day the kind `Value` (true = workday).
    void WeekDayClear(bool Value);
    // Gives every stored day whose day of the week is `Week` the kind `Value`.
    void WeekWeekDayChange(int Week, bool Value);
    // Makes every stored day that is a public holiday of Japan a holiday, in
    // one transaction; never makes a day a workday.
    void PublicHolidaySet();
    // Puts `InsertStr` and CR LF before the entry of the month and day in
    // every stored year.
    void PlanInsert(int Month, int Day, const QString& InsertStr);

    // First run: confirms today's date twice and creates the empty calendar
    // file. False when the user declined or creation failed (nothing is left
    // behind then).
    bool Create();
    // Makes the stored days exactly the months YMTop to YMBottom and compacts
    // the file. False, with the file unchanged, when the change could not be
    // committed.
    bool Update(int YMTop, int YMBottom);

    // Prepares the statements that generate day records (one day, and every
    // day of a span at once), once per range change, on the connection that
    // is open.
    void FieldPut();

    // Points of a range change at which a test can stop the process or fail
    // the change: the records are in place but not committed (Filled); the
    // change is committed and the file closed (Committed); New.vad is
    // written (Compacted); New.vad has replaced the calendar (Replaced). A
    // hook that throws EngineError at Filled makes the change fail, at
    // Compacted makes the compaction fail.
    enum class UpdatePhase
    {
        Filled,
        Committed,
        Compacted,
        Replaced
    };
    void setUpdatePhaseHookForTesting(std::function<void(UpdatePhase)> hook);

private:
    void reachPhase(UpdatePhase phase);

    std::unique_ptr<Query> mInsertDay;
    std::unique_ptr<Query> mInsertRange;
    std::function<void(UpdatePhase)> mPhaseHook;
};

extern clsMaster gMaster;

// Text of a message box that the store shows itself.
inline const QString kCreateFailed =
    QStringLiteral("暦の生成に失敗しました。「ﾍﾙﾌﾟ」メニューから「製品ｻﾎﾟｰﾄ情報」をご覧下さい。");

// The calendar file's schema, created by Create.
inline const QString kMasterSchema =
    QStringLiteral("CREATE TABLE Master (日付 INTEGER NOT NULL, 曜日 SMALLINT, 平日 BOOLEAN, "
                   "内容 TEXT, CONSTRAINT PrimaryKey PRIMARY KEY (日付))");

// Beside the calendar file: the compacted copy written by a range change.
QString CompactionTarget();

// Replaces `target` by `source` in one step and makes the change durable.
// False, leaving both as they were, when the replacement failed.
bool ReplaceFile(const QString& source, const QString& target);

// Owner-only read and write on the calendar file.
void MakePrivate(const QString& path);

// A range change cut short between writing the compacted copy and giving it
// the calendar's name leaves only New.vad beside the calendar's path: puts an
// intact copy in place. True when it did. A journal left without its
// calendar is set aside first, so that no file that takes the calendar's
// name is rolled back with another file's pages. Start-up calls this before
// it looks for the calendar.
bool RecoverCalendarFile();

// True when `path` is an intact calendar file (table Master present,
// integrity check passed).
bool IsIntactCalendar(const QString& path);
