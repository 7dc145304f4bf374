#pragma once

#include "store/Engine.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

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

    // What PlanSaveUnlessChanged found.
    enum class SaveOutcome
    {
        Saved,
        NotStored,
        ChangedOnDisk
    };
    // Writes the entry of a stored day unless the file holds another text for
    // it than `Expected`, the text read or written last: another program
    // changed the day meanwhile. Then nothing is written and `Current`
    // receives the file's text. The same text on both sides counts as saved.
    SaveOutcome PlanSaveUnlessChanged(int DateIndex, const QString& Expected,
                                      const QString& DatePlan, QString& Current);

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
    // The two questions of a first run about today's date; on a No the
    // warning to change the system date. True when both were answered Yes.
    bool ConfirmToday();
    // Makes the stored days exactly the months YMTop to YMBottom and compacts
    // the file. False, with the file unchanged, when the change could not be
    // committed.
    bool Update(int YMTop, int YMBottom);
    // The records of a range change without its transaction and compaction:
    // days before YMTop and after YMBottom are deleted, missing days of the
    // months between are made (Saturdays and Sundays holidays, no entry),
    // stored days keep their entries and kinds. Runs on the open gDatabase
    // inside the caller's transaction; throws EngineError, also for bounds
    // that name no real months.
    void ApplyRange(int YMTop, int YMBottom);
    // Why the last Create or Update that returned false failed; empty when
    // it was declined, or when the last one succeeded.
    const std::optional<EngineError>& LastError() const { return mLastError; }

    // Prepares the statements that generate day records (one day, and every
    // day of a span at once), once per range change, on the connection that
    // is open.
    void FieldPut();

    // Points of a range change at which a test can stop the process or fail
    // the change: nothing is written yet (Started); the records are in place
    // but not committed (Filled); the
    // change is committed and the file closed (Committed); New.vad is
    // written (Compacted); New.vad has replaced the calendar (Replaced). A
    // hook that throws EngineError at Filled makes the change fail, at
    // Compacted makes the compaction fail.
    enum class UpdatePhase
    {
        Started,
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
    std::optional<EngineError> mLastError;
};

extern clsMaster gMaster;

// Text of a message box that the store shows itself.
inline const QString kCreateFailed =
    QStringLiteral("暦の生成に失敗しました。「ﾍﾙﾌﾟ」メニューから「製品ｻﾎﾟｰﾄ情報」をご覧下さい。");

// The warning of a first run that could not create or fill the calendar: the
// text above, then the likely cause and the engine's message, each on a line
// of its own.
QString CreateFailedText(const EngineError& error);

// The calendar file's schema, created by Create.
inline const QString kMasterSchema =
    QStringLiteral("CREATE TABLE Master (日付 INTEGER NOT NULL, 曜日 SMALLINT, 平日 BOOLEAN, "
                   "内容 TEXT, CONSTRAINT PrimaryKey PRIMARY KEY (日付))");

// Beside the calendar file: the compacted copy written by a range change.
QString CompactionTarget();

// Replaces `target` by `source` in one step and, unless told otherwise,
// makes the change durable. False, leaving both as they were, when the
// replacement failed.
bool ReplaceFile(const QString& source, const QString& target, bool durable = true);

// Owner-only read and write on the calendar file.
void MakePrivate(const QString& path);

// A range change cut short between writing the compacted copy and giving it
// the calendar's name leaves only New.vad beside the calendar's path: puts an
// intact copy in place. True when it did. A journal left without its
// calendar is set aside first, so that no file that takes the calendar's
// name is rolled back with another file's pages. A lone copy that cannot be
// put in place (a damaged one) is set aside under a new name, never deleted:
// a first run would otherwise remove it. Start-up calls this before it looks
// for the calendar.
bool RecoverCalendarFile();

// `path` under a name that no file has yet: `path` + ".damaged", then
// ".damaged-2", ".damaged-3" and so on.
QString UnusedAsideName(const QString& path);

// True when the calendar file is known to be a first run that was cut off
// between creating the file and filling it: table Master holds no record, or
// the file holds no table at all. False when it holds days, or when it could
// not be read (locked, damaged): such a file is left to the main window.
bool IsUnfilledCalendar();
// Creates table Master in a calendar file that holds no table yet.
void EnsureMasterTable();

// True when `path` is an intact calendar file (table Master with the
// calendar's columns, integrity check passed).
bool IsIntactCalendar(const QString& path);
