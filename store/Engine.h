#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

class DirectQuery;
class EncryptedImage;

// A thin layer over SQLite through Qt SQL. Every failure of the engine
// becomes an EngineError that names the file and carries SQLite's message.

class EngineError : public std::runtime_error
{
public:
    // What most likely went wrong, in the terms a user can act on.
    enum class Cause
    {
        Unknown,
        Missing,     // the file is not there
        InUse,       // another program holds the file
        DiskFull,    // no room left on the disk
        ReadOnly,    // no permission to write, or a read-only file or folder
        Damaged,     // the file is no database, or a damaged one
        NotCalendar, // a database, but without the calendar's table and columns
        TooLarge,    // a value or the file beyond what the engine can hold
        DiskError,   // the disk failed to read or write
        OutOfMemory, // the engine ran out of memory
        // An encrypted calendar (store/EncryptedImage.h):
        Locked,       // its keys are not at hand
        Altered,      // it failed its checks: damaged or altered
        UnknownFormat // its encryption format has a version this program cannot read
    };

    EngineError(const QString& file, const QString& message, Cause cause = Cause::Unknown);
    // A failure reported by Qt SQL: the cause is read from SQLite's result
    // code, and for a file that could not be opened from the file system.
    static EngineError fromSql(const QString& file, const QSqlError& error);
    // The cause of a file that could not be opened or written, from the
    // file system alone.
    static Cause fileCause(const QString& file);
    // The cause of a file (or folder) that could not be made.
    static Cause creationCause(const QString& file);
    // The cause of a failed system call from its error number (errno), as
    // SQLite would name it for a plain calendar; `otherwise` for a number
    // that names none of them.
    static Cause systemCause(int errorNumber, Cause otherwise = Cause::Unknown);

    // The calendar file the failure concerns.
    const QString& file() const { return mFile; }
    // The engine's own message.
    const QString& message() const { return mMessage; }
    Cause cause() const { return mCause; }
    // True when the file cannot be read as a calendar at all: damaged, no
    // calendar, or an encrypted one that failed its checks.
    bool isNoCalendar() const
    {
        return mCause == Cause::Damaged || mCause == Cause::NotCalendar || mCause == Cause::Altered;
    }
    // "<message> (<file>)", one line for a log or a terminal.
    QString text() const;
    // The cause in plain Japanese, one line; an unknown cause says so.
    QString causeText() const;
    // For a message box: the cause in Japanese, the file (withFile), and the
    // engine's own message in parentheses, one per line (CR between).
    QString userText(bool withFile = true) const;

private:
    QString mFile;
    QString mMessage;
    Cause mCause;
};

// Runs `hook` when the process ends through exit() while Qt is still up (Qt
// ends the program that way when it loses the display), before Qt SQL shuts
// down, so that the hook can still write to the calendar. One hook at a time;
// installing another replaces it, an empty one removes it.
void SetEngineExitHook(std::function<void()> hook);

// One connection to one database file. Not copyable; closing is idempotent.
// The connection is also the one transaction owner of the program: bulk
// operations begin, commit and roll back through it.
class Database
{
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Creates a new database file, readable and writable by its owner only,
    // holding what `schema` (one statement) makes, or nothing; in one
    // transaction, so that the file holds all of it or none. Fails when the
    // file exists.
    static void Create(const QString& path, const QString& schema = QString());

    // Opens an existing file for reading and writing, shared with other
    // connections, or for exclusive use. Never creates a file, and refuses an
    // empty one or one that is not a database. A file that another process
    // is writing is waited for as long as busyWait() says. An encrypted
    // calendar is opened into memory with the keys held for it
    // (store/EncryptedImage.h).
    void open(const QString& path, bool exclusive = false);
    // Opens an existing file for reading only: nothing is ever written to
    // it, not even a journal.
    void openForReading(const QString& path);
    // Closes the connection (rolling back a transaction left open).
    void close();
    bool isOpen() const;
    QString path() const { return mPath; }
    // True while the path still names the file this connection opened: not
    // removed, and not replaced by another file renamed over it (as sync
    // tools do). Writes through a connection that fails this would land in
    // a file nobody sees again.
    bool isStillOnDisk() const;

    // The device and file number of a file, which a file renamed over its
    // path does not share; nothing when it is not there.
    struct FileId
    {
        quint64 device = 0;
        quint64 file = 0;
        bool operator==(const FileId&) const = default;
    };
    static std::optional<FileId> fileIdOf(const QString& path);
    // The file this connection opened (or wrote back last, for an encrypted
    // calendar); nothing when closed or unknown.
    std::optional<FileId> fileId() const { return mRegistered ? mFileId : std::nullopt; }

    // How long a file that another connection holds locked is waited for,
    // in milliseconds: for connections opened from now on, and for this one.
    static int busyWait();
    static void setBusyWait(int ms);
    void applyBusyWait();

    void beginTrans();
    void commitTrans();
    // Rolls back the transaction under way; does nothing when there is none.
    void rollback();
    bool inTransaction() const { return mInTransaction; }

    // Runs SQL that takes no values and returns no rows.
    void exec(const QString& sql);

    // Writes a compacted copy of the database to `target`, which must not
    // exist. Not inside a transaction.
    void compactInto(const QString& target);

    // Throws EngineError unless the database is open.
    QSqlDatabase connection() const;

    // The statement `sql` on this connection, prepared on its first use and
    // kept until the connection closes: for operations that run again and
    // again on an open calendar (a day's entry read or saved). Each use
    // binds its values, runs it and finishes it (DirectQuery::finish), so
    // that no lock outlives the operation. Throws EngineError unless the
    // database is open.
    DirectQuery& prepared(const QString& sql);

    // True when the open file is an encrypted calendar held in memory.
    bool isEncrypted() const { return mImage != nullptr; }
    // The error of a statement that failed on this connection.
    EngineError statementError(const QSqlError& error) const;
    // For an encrypted calendar, writes the image back when a change was
    // committed since the last write; nothing for a plain file. Runs after
    // every statement outside a transaction and after every commit.
    void writeBack();

private:
    enum class Mode
    {
        Shared,
        Exclusive,
        ReadOnly
    };
    void openFile(const QString& path, Mode mode, bool allowEmpty);

    // The identity of a file and its first `length` bytes, through one
    // handle; nothing is read when it cannot be opened for reading.
    struct FileStart
    {
        std::optional<FileId> id;
        bool readable = false;
        QByteArray bytes;
        qint64 size = 0;
    };
    static FileStart readFileStart(const QString& path, qsizetype length);
    // The name Qt's driver opens a plain file by: its URI, for an existing
    // file only (mode=rw or mode=ro).
    QString databaseName(const QString& path, bool readOnly);
    // The driver's options for a plain file: the name as a URI, the wait
    // for a locked file.
    static QString connectOptions(bool readOnly);

    QString mConnectionName;
    QString mPath;
    std::optional<FileId> mFileId;
    bool mInTransaction = false;
    bool mRegistered = false;
    std::unique_ptr<EncryptedImage> mImage;
    std::vector<std::pair<QString, std::unique_ptr<DirectQuery>>> mPrepared;
    // The last path opened and its URI.
    QString mUriPath;
    QString mUri;
};

// One prepared statement. Values are bound by position in the order of the
// "?" placeholders, never spliced into the SQL text.
class Query
{
public:
    Query(Database& db, const QString& sql);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(const QVariant& value);
    // Runs the statement with the values bound so far, which are then
    // cleared so the statement can run again with new ones.
    Query& exec();
    bool next();
    QVariant value(int column) const;
    int numRowsAffected() const;
    // Releases the result set, so that the connection can be closed or
    // compacted while the object still exists.
    void finish();

private:
    Database& mDb;
    QSqlQuery mQuery;
    QVariantList mValues;
    [[noreturn]] void fail() const;
};
