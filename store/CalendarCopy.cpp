#include "store/CalendarCopy.h"

#include "store/CalendarCheck.h"
#include "store/EncryptedImage.h"
#include "store/Envelope.h"

#include <QFile>
#include <QScopeGuard>

#include <optional>

namespace {

QList<DayRow> readRows(const QString& path)
{
    Database db;
    db.openForReading(path);
    CheckCalendar(db, CalendarCheck::Columns);
    const StoredRange range = ReadStoredRange(db);
    if (range.isEmpty())
        return {};
    return ReadDayRowList(db, DaySelection{range.firstYm, range.lastYm, false, {}});
}

} // namespace

QList<DayRow> ReadCalendarCopy(const QString& path, const SecureBytes* password)
{
    if (!password)
        return readRows(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(path, file.errorString(), EngineError::fileCause(path));
    EnvelopeKeys keys = EnvelopeKeys::unlock(file, *password);
    file.close();
    // The copy's keys stand in for the calendar's while it is read; the
    // calendar's own are held again whatever happens.
    std::optional<EnvelopeKeys> held;
    if (const EnvelopeKeys* current = HeldCalendarKeys())
        held = current->clone();
    HoldCalendarKeys(std::move(keys));
    const auto restore = qScopeGuard([&] {
        if (held)
            HoldCalendarKeys(std::move(*held));
        else
            ForgetCalendarKeys();
    });
    return readRows(path);
}
