#include "store/MasterImport.h"

#include "store/DayJournal.h"
#include "store/DirectQuery.h"
#include "store/FileSession.h"
#include "store/MasterChanges.h"
#include "store/Utf8Ahead.h"
#include "store/clsMaster.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// The entry as a bound value: a missing one is NULL, an empty one the empty
// text (a null QString would bind as NULL).
QVariant boundText(const DayRow& day)
{
    if (!day.text)
        return QVariant(QMetaType::fromType<QString>());
    return day.text->isNull() ? QVariant(QStringLiteral("")) : QVariant(*day.text);
}

QVariant boundFlag(const DayRow& day)
{
    return day.workday ? QVariant(*day.workday) : QVariant(QMetaType::fromType<bool>());
}

// A stored day as the import finds it.
struct StoredDay
{
    int key = 0;
    QVariant workday;
    QVariant text;
};

std::optional<bool> flagValue(const QVariant& workday)
{
    if (workday.isNull())
        return std::nullopt;
    return workday.toBool();
}

bool isEmptyEntry(const QVariant& text)
{
    return text.isNull() || text.toString().isEmpty();
}

// True when `stored` already holds `text` as a whole, or at its end after a
// line break: what appending it again would only repeat.
bool holdsAtEnd(const QString& stored, const QString& text)
{
    if (stored == text)
        return true;
    if (stored.size() <= text.size() || !stored.endsWith(text))
        return false;
    const QChar before = stored[stored.size() - text.size() - 1];
    return before == QLatin1Char('\n') || before == QLatin1Char('\r');
}

// The stored entry after the import: an empty or missing entry in the file
// only fills a stored entry that is empty, whatever was chosen; one with
// text follows the choice.
QVariant entryAfter(const QVariant& stored, const DayRow& day, ExistingEntries existing)
{
    if (isEmptyEntry(stored) || (day.hasEntry() && existing == ExistingEntries::Replace))
        return boundText(day);
    if (!day.hasEntry())
        return stored;
    const QString now = stored.toString();
    if (existing == ExistingEntries::Append && !holdsAtEnd(now, *day.text))
        return QVariant(now + QStringLiteral("\r\n") + *day.text);
    return stored;
}

// Two stored values alike, NULL apart from the empty text, flags by truth.
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.typeId() == b.typeId() && a.toString() == b.toString();
    return a.toBool() == b.toBool();
}

// While it lives, the connection keeps up to 256 MiB of pages in memory, so
// that a large import holds what it changes until the commit: with SQLite's
// small default cache, the changed pages would go into the file before it
// and be read back for the next change. Pages are taken only as they are
// needed; the size before comes back at the end, also after a failure.
class ImportCache
{
public:
    explicit ImportCache(Database& db) : mDb(db)
    {
        Query size(db, QStringLiteral("PRAGMA cache_size"));
        size.exec();
        mBefore = size.next() ? size.value(0).toInt() : 0;
        mDb.exec(QStringLiteral("PRAGMA cache_size = -262144"));
    }
    ~ImportCache()
    {
        if (mBefore == 0)
            return;
        try {
            // A pragma takes no bound values; the number is SQLite's own.
            mDb.exec(QStringLiteral("PRAGMA cache_size = %1").arg(mBefore));
        } catch (const EngineError&) {
            // The larger cache stays until the connection closes.
        }
    }
    ImportCache(const ImportCache&) = delete;
    ImportCache& operator=(const ImportCache&) = delete;

private:
    Database& mDb;
    int mBefore = 0;
};

} // namespace

ImportSurvey SurveyImport(const QList<DayRow>& days)
{
    FileSession session;
    ImportSurvey survey;
    survey.stored = ReadStoredRange(session.db());
    survey.days = int(days.size());
    if (days.isEmpty())
        return survey;
    survey.firstYm = days.first().key / 100;
    survey.lastYm = days.last().key / 100;
    // The stored days of the file's span in one pass beside the file's days,
    // both in key order: one read instead of a look-up per day.
    Query stored(session.db(), QStringLiteral("SELECT 日付, 内容 FROM Master WHERE 日付 >= ? AND "
                                              "日付 <= ? ORDER BY 日付"));
    stored.bind(days.first().key).bind(days.last().key).exec();
    bool more = stored.next();
    for (const DayRow& day : days) {
        while (more && stored.value(0).toInt() < day.key)
            more = stored.next();
        if (!more || stored.value(0).toInt() != day.key) {
            ++survey.outside;
            continue;
        }
        const QString entry = stored.value(1).toString();
        if (!entry.isEmpty() && day.hasEntry() && entry != *day.text)
            ++survey.differing;
    }
    return survey;
}

ImportOutcome ApplyImport(const QList<DayRow>& days, const ImportChoice& choice)
{
    FileSession session;
    Database& db = session.db();
    const ImportCache cache(db);
    db.beginTrans();
    ImportOutcome outcome;
    outcome.range = ReadStoredRange(db);
    const StoredRange rangeBefore = outcome.range;
    if (choice.extendRange && !days.isEmpty()) {
        const auto [first, last] =
            std::minmax_element(days.begin(), days.end(),
                                [](const DayRow& a, const DayRow& b) { return a.key < b.key; });
        const int firstYm = outcome.range.isEmpty()
                                ? first->key / 100
                                : std::min(first->key / 100, outcome.range.firstYm);
        const int lastYm = outcome.range.isEmpty()
                               ? last->key / 100
                               : std::max(last->key / 100, outcome.range.lastYm);
        if (firstYm != outcome.range.firstYm || lastYm != outcome.range.lastYm) {
            gMaster.ApplyRange(firstYm, lastYm);
            outcome.range = {firstYm, lastYm};
        }
    }

    // The stored days of the file's span in one read, in key order beside
    // the file's days; only the days that change are written, so that the
    // outcome tells what changed. The update runs once per day: it goes to
    // SQLite directly, as does the read.
    std::vector<StoredDay> stored;
    if (!days.isEmpty()) {
        DirectQuery read(db, QStringLiteral("SELECT 日付, 平日, 内容 FROM Master WHERE 日付 >= ? "
                                            "AND 日付 <= ? ORDER BY 日付"));
        read.bind(days.first().key).bind(days.last().key).exec();
        stored.reserve(size_t(days.size()));
        while (read.next())
            stored.push_back({read.intValue(0), read.value(1), read.value(2)});
    }
    // What is written, for the journal once it is committed.
    struct Written
    {
        int key;
        StoredDay before;
        StoredDay after;
    };
    QList<Written> written;
    written.reserve(days.size());
    auto found = stored.cbegin();
    for (const DayRow& day : days) {
        while (found != stored.cend() && found->key < day.key)
            ++found;
        if (found == stored.cend() || found->key != day.key) {
            ++outcome.leftOut;
            continue;
        }
        const QVariant text = entryAfter(found->text, day, choice.existing);
        const QVariant workday = choice.workdays ? boundFlag(day) : found->workday;
        if (sameValue(text, found->text) && sameValue(workday, found->workday)) {
            // Kept as it is: the file's entry differs and was not to be
            // taken, or the day holds it already.
            if (day.hasEntry() && !isEmptyEntry(found->text) &&
                !holdsAtEnd(found->text.toString(), *day.text))
                ++outcome.kept;
            else
                ++outcome.unchanged;
            continue;
        }
        written.append({day.key, *found, StoredDay{day.key, workday, text}});
    }
    outcome.taken = int(written.size());

    // The entries go into UTF-8 on a second thread while this one writes.
    std::vector<QString> texts;
    texts.reserve(size_t(written.size()));
    for (const Written& w : std::as_const(written))
        texts.push_back(w.after.text.toString());
    Utf8Ahead utf8(std::move(texts));
    // The flags are written only when they are taken, so that a stored one
    // keeps its own form.
    DirectQuery update(
        db, choice.workdays ? QStringLiteral("UPDATE Master SET 内容 = ?, 平日 = ? WHERE 日付 = ?")
                            : QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
    for (qsizetype i = 0; i < written.size(); ++i) {
        const StoredDay& after = written[i].after;
        if (const std::optional<QByteArray>& text = utf8.at(size_t(i)))
            update.bindUtf8(*text);
        else
            update.bind(after.text);
        if (choice.workdays)
            update.bind(after.workday);
        update.bind(after.key).exec();
    }
    db.commitTrans();
    DayJournal& journal = DayJournal::instance();
    journal.reserveTexts(written.size());
    for (const Written& w : std::as_const(written)) {
        if (!sameValue(w.after.text, w.before.text))
            journal.noteText(w.key, w.before.text.toString(), w.after.text.toString());
        if (!sameValue(w.after.workday, w.before.workday))
            journal.noteKind(w.key, flagValue(w.before.workday), flagValue(w.after.workday));
    }
    if (outcome.taken > 0 || outcome.range.firstYm != rangeBefore.firstYm ||
        outcome.range.lastYm != rangeBefore.lastYm)
        emit MasterChanges::instance().entriesReplaced();
    return outcome;
}
