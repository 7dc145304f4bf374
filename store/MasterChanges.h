#pragma once

#include <QObject>
#include <QString>

// Announces every change of the entries (field 内容) of the calendar file
// once it is written, so that what keeps entries in memory (the search's
// index, the marks of the month grid) can follow. clsMaster announces its
// own writes; any other code that writes entries announces them here too.
// Receivers only take note: they read nothing from the file while the
// writer's operation is still under way.
class MasterChanges : public QObject
{
    Q_OBJECT

public:
    // The program's one instance.
    static MasterChanges& instance();

signals:
    // The entry of the stored day `key` is now `text`.
    void entrySaved(int key, const QString& text);
    // The entries of the month and day `monthDay` (mmdd) changed in every
    // stored year.
    void yearlyEntriesChanged(int monthDay);
    // Any entry may have changed, and the stored days may be others: a
    // range change, a new calendar, an import.
    void entriesReplaced();

private:
    MasterChanges() = default;
};
