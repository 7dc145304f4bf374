#include "store/DayUpdates.h"

#include "store/DayJournal.h"
#include "store/FileSession.h"
#include "store/MasterChanges.h"

#include <utility>

namespace {

QVariant boundFlag(std::optional<bool> flag)
{
    return flag ? QVariant(*flag) : QVariant(QMetaType::fromType<bool>());
}

// A text that binds as text: a null QString would be stored as NULL.
QString nonNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

int WriteDayUpdates(const QList<DayUpdate>& updates)
{
    if (updates.isEmpty())
        return 0;
    FileSession session;
    Database& db = session.db();
    db.beginTrans();
    Query read(db, QStringLiteral("SELECT coalesce(内容, ''), 平日 FROM Master WHERE 日付 = ?"));
    Query text(db, QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"));
    Query kind(db, QStringLiteral("UPDATE Master SET 平日 = ? WHERE 日付 = ?"));
    struct Written
    {
        DayUpdate update;
        QString textBefore;
        std::optional<bool> kindBefore;
    };
    QList<Written> written;
    for (const DayUpdate& update : updates) {
        if (!update.text && !update.kind)
            continue;
        read.bind(update.key).exec();
        if (!read.next())
            continue;
        Written w{update, read.value(0).toString(), std::nullopt};
        if (!read.value(1).isNull())
            w.kindBefore = read.value(1).toBool();
        read.finish();
        if (update.text)
            text.bind(nonNull(*update.text)).bind(update.key).exec();
        if (update.kind)
            kind.bind(boundFlag(*update.kind)).bind(update.key).exec();
        written.append(std::move(w));
    }
    db.commitTrans();
    DayJournal& journal = DayJournal::instance();
    for (const Written& w : std::as_const(written)) {
        if (w.update.text) {
            journal.noteText(w.update.key, w.textBefore, nonNull(*w.update.text));
            emit MasterChanges::instance().entrySaved(w.update.key, nonNull(*w.update.text));
        }
        if (w.update.kind)
            journal.noteKind(w.update.key, w.kindBefore, *w.update.kind);
    }
    return int(written.size());
}
