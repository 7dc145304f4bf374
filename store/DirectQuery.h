#pragma once

#include "store/Engine.h"

#include <QString>
#include <QVariant>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement on SQLite's own interface, for work that runs a
// statement once per day, tens of thousands of times in one transaction
// (the import): Qt SQL turns every bound position into a name first, which
// costs more than SQLite's own work on such a row. Otherwise it is used as
// Query is: values bound by position in the order of the "?" placeholders,
// never spliced into the SQL text, and every failure an EngineError with
// the engine's message. Runs on the connection of `db` and follows its
// transaction.
class DirectQuery
{
public:
    DirectQuery(Database& db, const QString& sql);
    ~DirectQuery();
    DirectQuery(const DirectQuery&) = delete;
    DirectQuery& operator=(const DirectQuery&) = delete;

    // A null QVariant binds NULL; whole numbers and flags bind as integers,
    // text as text, bytes as a blob, as Qt's driver binds them.
    DirectQuery& bind(const QVariant& value);
    // Text already in valid UTF-8, bound as text without converting it
    // again.
    DirectQuery& bindUtf8(const QByteArray& text);
    // Runs the statement with the values bound so far, which are then
    // cleared so that it can run again with new ones.
    DirectQuery& exec();
    bool next();
    // Ends the run at hand before its last row: the statement lets its
    // locks and its values go. A statement kept for later (Database::
    // prepared) is finished after each use.
    void finish();
    // A column of the row at hand as Qt's driver gives it: a whole number
    // as qint64, text as QString, a blob as QByteArray, NULL as a null
    // QVariant.
    QVariant value(int column) const;
    int intValue(int column) const;
    // The rows the last exec changed.
    int numRowsAffected() const;

private:
    // The engine's failure `code` with its message, for the file.
    EngineError errorOf(int code) const;

    Database& mDb;
    sqlite3* mHandle = nullptr;
    sqlite3_stmt* mStatement = nullptr;
    // The values given for the next run, and those bound to the run at
    // hand, kept until it ends: SQLite reads bound text in place.
    std::vector<QVariant> mValues;
    std::vector<QVariant> mBound;
    // The bound texts as UTF-8.
    std::vector<QByteArray> mUtf8;
    bool mRowAtHand = false;
    bool mStepped = false;
    int mChanges = 0;
};
