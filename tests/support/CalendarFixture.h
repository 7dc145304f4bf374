#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// Builds calendar files for tests with plain SQL, independent of the store's
// own code: table Master with one record per day of the months `firstYm` to
// `lastYm` (year-month numbers), Saturdays and Sundays as holidays, no
// entries. Returns false when the file could not be written.
bool MakeCalendarFile(const QString& path, int firstYm, int lastYm);

// Reads one column of one day straight from the file; an invalid QVariant
// when the day is not stored.
QVariant ReadDayField(const QString& path, int dayKey, const QString& column);
// Writes the entry of one day straight into the file.
bool WriteDayEntry(const QString& path, int dayKey, const QString& entry);

// SHA-256 of a file's bytes (empty when it cannot be read): an unchanged
// digest proves a file was left byte-for-byte as it was.
QByteArray FileDigest(const QString& path);

// Puts `copy` in the place of `calendar` as a sync program does: written by
// the other computer at 2026/12/08 10:15, then renamed over it in one step.
bool RenameOverAsSyncProgram(const QString& copy, const QString& calendar);

// Readable and writable by the owner, nothing for group and others.
bool OwnerOnly(const QString& path);

// Plain SQL on a calendar file, on a connection of its own that is removed
// again when the object goes. Values are bound in the order given.
class SqlPeek
{
public:
    explicit SqlPeek(const QString& path);
    ~SqlPeek();
    SqlPeek(const SqlPeek&) = delete;
    SqlPeek& operator=(const SqlPeek&) = delete;

    bool ok() const { return mOk; }
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row; invalid when there is none.
    QVariant one(const QString& sql, const QVariantList& values = {}) const;
    // True when the statement ran; `affected` receives the changed rows.
    bool exec(const QString& sql, const QVariantList& values = {}, int* affected = nullptr) const;

private:
    QString mName;
    bool mOk = false;
};
