#include "store/MasterImport.h"

#include "store/FileSession.h"
#include "store/MasterChanges.h"
#include "store/clsMaster.h"

#include <algorithm>
#include <memory>

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

// What a file's entry does to the stored one. An empty or missing entry in
// the file only fills a stored entry that is empty, whatever was chosen;
// one with text follows the choice. The entry is bound where "?" stands, as
// many times as it appears: the condition on the file's entry is decided
// here rather than in SQL, so that the common case binds the whole text
// once.
struct EntryRule
{
    const char16_t* sql;
    int uses;
};

constexpr EntryRule kFillEmpty = {u"内容 = CASE WHEN coalesce(内容, '') = '' THEN ? ELSE 内容 END",
                                  1};

EntryRule entryRule(ExistingEntries existing)
{
    switch (existing) {
    case ExistingEntries::Replace:
        return {u"内容 = ?", 1};
    case ExistingEntries::Append:
        return {u"内容 = CASE WHEN coalesce(内容, '') = '' THEN ? WHEN 内容 = ? THEN 内容 "
                u"ELSE 内容 || char(13, 10) || ? END",
                3};
    case ExistingEntries::Keep:
        break;
    }
    return kFillEmpty;
}

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
    db.beginTrans();
    ImportOutcome outcome;
    outcome.range = ReadStoredRange(db);
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

    auto statement = [&](const EntryRule& rule) {
        return std::make_unique<Query>(
            db, QStringLiteral("UPDATE Master SET ") + QString::fromUtf16(rule.sql) +
                    (choice.workdays ? QStringLiteral(", 平日 = ?") : QString()) +
                    QStringLiteral(" WHERE 日付 = ?"));
    };
    const EntryRule withText = entryRule(choice.existing);
    const std::unique_ptr<Query> takeText = statement(withText);
    const std::unique_ptr<Query> fillEmpty = statement(kFillEmpty);
    for (const DayRow& day : days) {
        const bool hasText = day.hasEntry();
        Query& update = hasText ? *takeText : *fillEmpty;
        const QVariant text = boundText(day);
        for (int i = 0; i < (hasText ? withText.uses : kFillEmpty.uses); ++i)
            update.bind(text);
        if (choice.workdays)
            update.bind(boundFlag(day));
        update.bind(day.key).exec();
        if (update.numRowsAffected() > 0)
            ++outcome.taken;
        else
            ++outcome.leftOut;
    }
    db.commitTrans();
    emit MasterChanges::instance().entriesReplaced();
    return outcome;
}
