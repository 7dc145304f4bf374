#include "store/EncryptedImage.h"

#include "platform/CoreDumps.h"
#include "store/Engine.h"
#include "store/clsMaster.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>

#include <sodium.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::optional<EnvelopeKeys>& heldKeys()
{
    static std::optional<EnvelopeKeys> keys;
    return keys;
}

EngineError::Cause causeOf(const EnvelopeError& error)
{
    switch (error.failure()) {
    case EnvelopeFailure::UnknownVersion:
        return EngineError::Cause::UnknownFormat;
    case EnvelopeFailure::NotEncrypted:
    case EnvelopeFailure::Damaged:
        return EngineError::Cause::Altered;
    case EnvelopeFailure::WrongPassword:
    case EnvelopeFailure::WrongRecoveryKey:
        break;
    }
    return EngineError::Cause::Locked;
}

// Room to grow before SQLite has to move the image (and leave a copy of it
// behind in memory that is freed without being wiped).
sqlite3_int64 capacityFor(std::size_t size)
{
    return sqlite3_int64(size + size / 4 + (1 << 20));
}

// A serialized image, pointing into the connection's own memory where it
// can (no copy), or a copy that is wiped and freed when this goes.
class SerializedImage
{
public:
    explicit SerializedImage(sqlite3* handle)
    {
        mData = sqlite3_serialize(handle, "main", &mSize, SQLITE_SERIALIZE_NOCOPY);
        if (!mData) {
            mData = sqlite3_serialize(handle, "main", &mSize, 0);
            mCopy = mData != nullptr;
        }
        if (!mData && mSize != 0)
            throw std::bad_alloc();
    }
    ~SerializedImage()
    {
        if (mCopy) {
            sodium_memzero(mData, std::size_t(mSize));
            sqlite3_free(mData);
        }
    }
    SerializedImage(const SerializedImage&) = delete;
    SerializedImage& operator=(const SerializedImage&) = delete;
    const unsigned char* data() const { return mData; }
    std::size_t size() const { return std::size_t(mSize); }

private:
    unsigned char* mData = nullptr;
    sqlite3_int64 mSize = 0;
    bool mCopy = false;
};

// The SQLite connection under a Qt one: the raw handle is where images go
// in and out, which Qt SQL has no call for.
sqlite3* handleOf(const QSqlDatabase& connection)
{
    const QVariant handle = connection.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw EngineError(connection.databaseName(),
                          QStringLiteral("the database driver is not SQLite"));
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Why a file could not be written: the system's error number and its text.
struct WriteFailure
{
    int errorNumber = 0;
    QString message;
    explicit operator bool() const { return errorNumber != 0; }
};

// Writes `bytes` into the new file `path`, readable and writable by its
// owner only. Written piece by piece with the system's own calls: a disk
// that fills up half-way takes part of the bytes before it refuses the
// rest, and Qt words that refusal as an unknown error.
WriteFailure writeNewFile(const QString& path, const QByteArray& bytes)
{
#ifdef Q_OS_WIN
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return {-1, file.errorString()}; // the folder tells why
    for (qsizetype at = 0; at < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + at, bytes.size() - at);
        if (written <= 0)
            return {file.error() == QFileDevice::ResourceError ? ENOSPC : -1, file.errorString()};
        at += written;
    }
    return {};
#else
    const auto failure = [](int errorNumber) {
        return WriteFailure{errorNumber, QString::fromLocal8Bit(std::strerror(errorNumber))};
    };
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failure(errno);
    for (qsizetype at = 0; at < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + at, std::size_t(bytes.size() - at));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int errorNumber = written < 0 ? errno : EIO;
            ::close(fd);
            return failure(errorNumber);
        }
        at += written;
    }
    if (::close(fd) != 0)
        return failure(errno);
    return {};
#endif
}

} // namespace

const EnvelopeKeys* HeldCalendarKeys()
{
    return heldKeys() ? &*heldKeys() : nullptr;
}

void HoldCalendarKeys(EnvelopeKeys keys)
{
    // From here on the diary is in memory in plain text.
    PreventCoreDumps();
    heldKeys() = std::move(keys);
}

void ForgetCalendarKeys()
{
    heldKeys().reset();
}

const EnvelopeKeys& RequireCalendarKeys(const QString& path)
{
    if (!heldKeys())
        throw EngineError(path, QStringLiteral("no keys of the calendar are held"),
                          EngineError::Cause::Locked);
    return *heldKeys();
}

void ReplaceFileContents(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    // Renaming over a write-protected file would go through wherever the
    // folder may be written: the protection holds as it does for a plain
    // calendar.
    if (info.exists() && !info.isWritable())
        throw EngineError(path, QStringLiteral("the file is write-protected"),
                          EngineError::Cause::ReadOnly);
    const QString partial =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".part");
    // One left by an interrupted write is incomplete or, if complete, was
    // never given the name: either way it is not the calendar.
    QFile::remove(partial);
    if (const WriteFailure failure = writeNewFile(partial, bytes)) {
        QFile::remove(partial);
        throw EngineError(
            path, failure.message,
            EngineError::systemCause(failure.errorNumber, EngineError::creationCause(partial)));
    }
    if (!ReplaceFile(partial, path)) {
#ifdef Q_OS_WIN
        const int errorNumber = 0;
#else
        // What failed (flushing the new file, or renaming it) left its
        // reason behind.
        const int errorNumber = errno;
#endif
        QFile::remove(partial);
        throw EngineError(path,
                          QStringLiteral("the new file cannot be put in place: ") +
                              QString::fromLocal8Bit(std::strerror(errorNumber)),
                          EngineError::systemCause(errorNumber, EngineError::fileCause(path)));
    }
}

void WriteEnvelopeFile(const QString& path, const EnvelopeKeys& keys, const unsigned char* data,
                       std::size_t size)
{
    ReplaceFileContents(path, Envelope::Seal(keys, data, size));
}

void CatchOutOfMemory(const QString& path, const std::function<void()>& work)
{
    try {
        work();
    } catch (const std::bad_alloc&) {
        throw EngineError(path, QStringLiteral("out of memory"), EngineError::Cause::OutOfMemory);
    }
}

WipedBytes::~WipedBytes()
{
    if (!mBytes.isEmpty())
        sodium_memzero(mBytes.data(), std::size_t(mBytes.size()));
}

WipedBytes ImageOf(Database& db)
{
    const SerializedImage image(handleOf(db.connection()));
    return WipedBytes(
        QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size())));
}

EncryptedImage::EncryptedImage(const QSqlDatabase& connection, const QString& path, bool readOnly)
    : mHandle(handleOf(connection)), mPath(path), mReadOnly(readOnly)
{
    CatchOutOfMemory(mPath, [this] { load(); });
    sqlite3_commit_hook(mHandle, &EncryptedImage::onCommit, this);
}

EncryptedImage::~EncryptedImage()
{
    sqlite3_commit_hook(mHandle, nullptr, nullptr);
    sqlite3_int64 size = 0;
    if (unsigned char* image = sqlite3_serialize(mHandle, "main", &size, SQLITE_SERIALIZE_NOCOPY))
        sodium_memzero(image, std::size_t(size));
}

int EncryptedImage::onCommit(void* self)
{
    static_cast<EncryptedImage*>(self)->mChanged = true;
    return 0; // 0 lets the commit go ahead
}

void EncryptedImage::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(mHandle, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(mHandle));
        sqlite3_free(message);
        throw EngineError(mPath, text);
    }
}

void EncryptedImage::load()
{
    const EnvelopeKeys* keys = HeldCalendarKeys();
    QFile file(mPath);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(mPath, file.errorString(), EngineError::fileCause(mPath));
    const QByteArray sealed = file.readAll();
    file.close();
    unsigned char* image = nullptr;
    sqlite3_int64 size = 0;
    auto release = [&] {
        if (image) {
            sodium_memzero(image, std::size_t(size));
            sqlite3_free(image);
        }
    };
    try {
        const EnvelopeHeader header = Envelope::ReadHeader(sealed);
        if (!keys || !keys->fits(header))
            throw EngineError(mPath, QStringLiteral("the file is encrypted with keys not at hand"),
                              EngineError::Cause::Locked);
        Envelope::Open(*keys, sealed, [&](std::size_t plainSize) {
            size = sqlite3_int64(plainSize);
            image = static_cast<unsigned char*>(sqlite3_malloc64(quint64(capacityFor(plainSize))));
            if (!image)
                throw std::bad_alloc();
            return image;
        });
        // The first write after opening encrypts only what changed too.
        mSealer.emplace(*keys);
        mSealer->adopt(sealed, image, std::size_t(size));
    } catch (const EnvelopeError& e) {
        release();
        throw EngineError(mPath, QString::fromUtf8(e.what()), causeOf(e));
    } catch (...) {
        release();
        throw;
    }
    // From here on SQLite owns the memory, also when it refuses it.
    const int rc =
        sqlite3_deserialize(mHandle, "main", image, size, capacityFor(std::size_t(size)),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    if (rc != SQLITE_OK)
        throw EngineError(mPath, QString::fromUtf8(sqlite3_errstr(rc)));
    // A database in memory keeps its rollback journal in memory, and
    // temporary tables, sorts and indexes go there too instead of into
    // files in the temporary folder. Both are asked for, not assumed.
    exec("PRAGMA journal_mode = MEMORY; PRAGMA temp_store = MEMORY");
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(mHandle,
                       "SELECT (SELECT journal_mode FROM pragma_journal_mode), "
                       "(SELECT temp_store FROM pragma_temp_store), "
                       "(SELECT count(*) FROM sqlite_master)",
                       -1, &check, nullptr);
    const bool ok =
        check && sqlite3_step(check) == SQLITE_ROW &&
        qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "memory") == 0 &&
        sqlite3_column_int(check, 1) == 2;
    const QString message = QString::fromUtf8(sqlite3_errmsg(mHandle));
    sqlite3_finalize(check);
    if (!ok)
        throw EngineError(mPath, message, EngineError::Cause::Damaged);
}

bool EncryptedImage::writeBack()
{
    if (mStale)
        throw EngineError(mPath,
                          QStringLiteral("the calendar in memory no longer matches the file"));
    if (!mChanged)
        return false;
    if (mReadOnly)
        throw EngineError(mPath, QStringLiteral("the file was opened for reading only"),
                          EngineError::Cause::ReadOnly);
    try {
        CatchOutOfMemory(mPath, [this] {
            const EnvelopeKeys& keys = RequireCalendarKeys(mPath);
            const SerializedImage image(mHandle);
            ReplaceFileContents(mPath, sealerFor(keys).seal(image.data(), image.size()));
        });
        mChanged = false;
        return true;
    } catch (...) {
        // The image holds a change the file does not: the operation failed
        // as a whole, as it does on a plain file, so the image is no longer
        // used. Reading the file into the connection again here is no
        // option: the statement that committed may still be active on it.
        mStale = true;
        throw;
    }
}

void EncryptedImage::compactInto(const QString& target)
{
    const EnvelopeKeys& keys = RequireCalendarKeys(mPath);
    // Only an image with free pages (days deleted by a range change, say)
    // is compacted. That changes no row: the image need not be written back
    // for it (VACUUM does not count as a commit anyway).
    sqlite3_stmt* free = nullptr;
    sqlite3_prepare_v2(mHandle, "PRAGMA freelist_count", -1, &free, nullptr);
    const bool hasFreePages =
        free && sqlite3_step(free) == SQLITE_ROW && sqlite3_column_int(free, 0) > 0;
    sqlite3_finalize(free);
    if (hasFreePages) {
        const bool changed = mChanged;
        exec("VACUUM");
        mChanged = changed;
    }
    CatchOutOfMemory(target, [&] {
        const SerializedImage image(mHandle);
        ReplaceFileContents(target, sealerFor(keys).seal(image.data(), image.size()));
    });
}

EnvelopeSealer& EncryptedImage::sealerFor(const EnvelopeKeys& keys)
{
    // New keys (a changed password) change the header, and every chunk with
    // it.
    if (!mSealer || !mSealer->sealsWith(keys))
        mSealer.emplace(keys);
    return *mSealer;
}
