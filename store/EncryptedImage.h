#pragma once

#include "store/Envelope.h"

#include <QSqlDatabase>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>

struct sqlite3;

// The engine side of an encrypted calendar. The calendar's database image
// lives in memory only, on the connection of a Database (SQLite's
// sqlite3_deserialize); every change committed there is written back whole,
// encrypted, through a temporary file that replaces the calendar only once
// it is complete and on disk. Its journal and temporary tables stay in
// memory too, so no file SQLite makes ever holds a word of the diary.

// The keys of the encrypted calendar this run unlocked; null when none
// are held. While they are held, a Database opens any file sealed with them
// (the calendar, its backups, the compacted copy of a range change) into
// memory. Holding keys makes the process write no core dump for the rest
// of its run (platform/CoreDumps.h).
const EnvelopeKeys* HeldCalendarKeys();
void HoldCalendarKeys(EnvelopeKeys keys);
// Wipes the held keys.
void ForgetCalendarKeys();
// The held keys; throws EngineError (Locked) naming `path` when none are.
const EnvelopeKeys& RequireCalendarKeys(const QString& path);

// Replaces the contents of `path` by `bytes`: they are written to a
// temporary file beside it (".<name>.part", owner-only), which is flushed
// and renamed over `path`, and the folder is flushed. A write-protected
// `path` is not replaced. Throws EngineError
// naming `path` when that fails, with the cause named as SQLite names it
// for a plain calendar (a full disk, a file too large, a read-only disk);
// `path` is then as it was and the temporary file is gone.
void ReplaceFileContents(const QString& path, const QByteArray& bytes);
// The same with the envelope of the `size` bytes at `data`, sealed with
// `keys`.
void WriteEnvelopeFile(const QString& path, const EnvelopeKeys& keys, const unsigned char* data,
                       std::size_t size);

// Runs `work`, which reads, decrypts or writes `path`; running out of
// memory there (a key derivation, an image that cannot be held) becomes
// EngineError (OutOfMemory) naming `path`, as SQLite's own lack of memory
// does.
void CatchOutOfMemory(const QString& path, const std::function<void()>& work);

// Plain bytes (a database image, a payload) that are wiped when they go.
class WipedBytes
{
public:
    explicit WipedBytes(QByteArray bytes) : mBytes(std::move(bytes)) {}
    ~WipedBytes();
    WipedBytes(WipedBytes&&) = default;
    WipedBytes(const WipedBytes&) = delete;
    WipedBytes& operator=(const WipedBytes&) = delete;

    const QByteArray& bytes() const { return mBytes; }
    const unsigned char* data() const
    {
        return reinterpret_cast<const unsigned char*>(mBytes.constData());
    }
    std::size_t size() const { return std::size_t(mBytes.size()); }

private:
    QByteArray mBytes;
};

class Database;
// A copy of the image of the database open on `db`, plain or encrypted.
WipedBytes ImageOf(Database& db);

// One encrypted file opened into the main database of an in-memory
// connection.
class EncryptedImage
{
public:
    // Reads `path`, checks and decrypts it with the held keys into
    // `connection`, an empty in-memory database. Throws EngineError. An
    // image opened for reading only is never written back.
    EncryptedImage(const QSqlDatabase& connection, const QString& path, bool readOnly = false);
    // Wipes the image; the connection is closed after.
    ~EncryptedImage();
    EncryptedImage(const EncryptedImage&) = delete;
    EncryptedImage& operator=(const EncryptedImage&) = delete;

    // Writes the image back to the file when a change was committed since
    // it was read or last written; true when it wrote. When that fails, EngineError is thrown
    // and the image is stale: it holds a change the file does not, and the
    // connection counts as closed until it is opened again (FileSession
    // does that with the next operation), which reads the file afresh.
    bool writeBack();
    bool stale() const { return mStale; }
    // Writes a compacted copy, sealed with the held keys, to `target`.
    void compactInto(const QString& target);

private:
    static int onCommit(void* self);
    void load();
    EnvelopeSealer& sealerFor(const EnvelopeKeys& keys);
    void exec(const char* sql);

    sqlite3* mHandle;
    QString mPath;
    bool mReadOnly;
    bool mChanged = false;
    bool mStale = false;
    // Seals the image as it changes, encrypting only the changed chunks.
    std::optional<EnvelopeSealer> mSealer;
};
