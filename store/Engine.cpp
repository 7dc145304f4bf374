#include "store/Engine.h"

#include "store/DirectQuery.h"
#include "store/EncryptedImage.h"
#include "store/Envelope.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

#include <cerrno>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString engineMessage(const QSqlError& error)
{
    QString message = error.databaseText();
    if (message.isEmpty())
        message = error.driverText();
    if (message.isEmpty())
        message = error.text();
    return message;
}

// SQLite's primary result codes that name a cause.
constexpr int kSqliteError = 1;
constexpr int kSqlitePerm = 3;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteNoMem = 7;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoErr = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteProtocol = 15;
constexpr int kSqliteTooBig = 18;
constexpr int kSqliteNoLfs = 22;
constexpr int kSqliteAuth = 23;
constexpr int kSqliteNotADb = 26;

std::function<void()>& exitHook()
{
    // Never destroyed: it must outlive every exit handler.
    static auto* hook = new std::function<void()>;
    return *hook;
}

// How long a locked file is waited for; see Database::busyWait.
int busyWaitMs = 2000;

QString nextConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("zedu-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

EngineError::EngineError(const QString& file, const QString& message, Cause cause)
    : std::runtime_error((message + QStringLiteral(" (") + file + QLatin1Char(')')).toStdString()),
      mFile(file), mMessage(message), mCause(cause)
{}

EngineError EngineError::fromSql(const QString& file, const QSqlError& error)
{
    bool isNumber = false;
    // Extended result codes carry the primary code in their low byte.
    const int code = error.nativeErrorCode().toInt(&isNumber) & 0xff;
    const QString message = engineMessage(error);
    Cause cause = Cause::Unknown;
    if (isNumber) {
        switch (code) {
        case kSqliteBusy:
        case kSqliteLocked:
        case kSqliteProtocol:
            cause = Cause::InUse;
            break;
        case kSqliteFull:
            cause = Cause::DiskFull;
            break;
        case kSqliteTooBig:
        case kSqliteNoLfs:
            cause = Cause::TooLarge;
            break;
        case kSqliteIoErr:
            cause = Cause::DiskError;
            break;
        case kSqliteNoMem:
            cause = Cause::OutOfMemory;
            break;
        case kSqlitePerm:
        case kSqliteReadOnly:
        case kSqliteAuth:
            cause = Cause::ReadOnly;
            break;
        case kSqliteCorrupt:
        case kSqliteNotADb:
            cause = Cause::Damaged;
            break;
        case kSqliteCantOpen:
            // The file, or the journal beside it, could not be opened: the
            // file system tells which.
            cause = fileCause(file);
            break;
        case kSqliteError:
            // A file without the calendar's table is no calendar. SQLite has
            // no code of its own for that; its message is fixed.
            if (message.startsWith(QLatin1String("no such table")))
                cause = Cause::NotCalendar;
            break;
        default:
            break;
        }
    }
    return EngineError(file, message, cause);
}

EngineError::Cause EngineError::fileCause(const QString& file)
{
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (!info.exists())
        return Cause::Missing;
    // Writing also needs the folder, where the journal is made.
    if (!info.isReadable() || !info.isWritable() || !folder.isWritable())
        return Cause::ReadOnly;
    return Cause::Unknown;
}

EngineError::Cause EngineError::creationCause(const QString& file)
{
    const QFileInfo folder(QFileInfo(file).absolutePath());
    return folder.exists() && !folder.isWritable() ? Cause::ReadOnly : Cause::Unknown;
}

EngineError::Cause EngineError::systemCause(int errorNumber, Cause otherwise)
{
    switch (errorNumber) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Cause::DiskFull;
    case EFBIG:
        return Cause::TooLarge;
    case EROFS:
    case EACCES:
    case EPERM:
        return Cause::ReadOnly;
    case EIO:
        return Cause::DiskError;
    case ENOMEM:
        return Cause::OutOfMemory;
    default:
        return otherwise;
    }
}

QString EngineError::causeText() const
{
    switch (mCause) {
    case Cause::Missing:
        return QStringLiteral("暦ファイルが見つかりません。");
    case Cause::InUse:
        return QStringLiteral("暦ファイルが他のプログラムで使用中です。");
    case Cause::DiskFull:
        return QStringLiteral("ディスクの空き容量が足りません。");
    case Cause::ReadOnly:
        return QStringLiteral("暦ファイルに書き込む権限がないか、読み取り専用になっています。");
    case Cause::Damaged:
        return QStringLiteral("暦ファイルが壊れています。");
    case Cause::NotCalendar:
        return QStringLiteral("暦ファイルの中身が暦の形式ではありません。");
    case Cause::TooLarge:
        return QStringLiteral("データが大きすぎて扱えません。");
    case Cause::DiskError:
        return QStringLiteral("ディスクの読み書きでエラーが起きました。");
    case Cause::OutOfMemory:
        return QStringLiteral("メモリーが足りません。");
    case Cause::Locked:
        return QStringLiteral("暦ファイルは暗号化されています。開くにはパスワードが必要です。");
    case Cause::Altered:
        return EnvelopeError(EnvelopeFailure::Damaged).text();
    case Cause::UnknownFormat:
        return QStringLiteral("この暦ファイルの暗号化の形式には対応していません。");
    case Cause::Unknown:
        break;
    }
    return QStringLiteral("原因は分かりません。");
}

QString EngineError::userText(bool withFile) const
{
    QString text = causeText();
    if (withFile && !mFile.isEmpty())
        text += QLatin1Char('\r') + QDir::toNativeSeparators(mFile);
    // The engine speaks English; what it said helps whoever looks further.
    if (!mMessage.isEmpty())
        text += QStringLiteral("\r（") + mMessage + QStringLiteral("）");
    return text;
}

void SetEngineExitHook(std::function<void()> hook)
{
    static const bool installed = [] {
        // Exit handlers run in the reverse order of their registration, and
        // Qt SQL registers the teardown of its connection registry and its
        // drivers when they are first used. Using them before registering
        // makes the hook run while they are still there.
        const QString probe = QStringLiteral("zedu-exit-probe");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), probe);
        }
        QSqlDatabase::removeDatabase(probe);
        std::atexit([] {
            std::function<void()> run = std::move(exitHook());
            exitHook() = nullptr;
            if (run)
                run();
        });
        return true;
    }();
    (void)installed;
    exitHook() = std::move(hook);
}

QString EngineError::text() const
{
    return mMessage + QStringLiteral(" (") + mFile + QLatin1Char(')');
}

Database::Database() : mConnectionName(nextConnectionName()) {}

Database::~Database()
{
    close();
}

void Database::Create(const QString& path, const QString& schema)
{
    if (QFileInfo::exists(path))
        throw EngineError(path, QStringLiteral("the file already exists"));
    QFile file(path);
    // NewOnly refuses to replace a file that appeared in the meantime; the
    // file is the owner's alone from its first byte on.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EngineError(path, file.errorString(), EngineError::creationCause(path));
    file.close();
    // Writing the header turns the empty file into a real database, so that
    // an empty file found later is known to be no calendar. The schema's
    // statement writes it as well, in the same transaction.
    try {
        Database db;
        db.openFile(path, Mode::Shared, true);
        db.exec(schema.isEmpty() ? QStringLiteral("PRAGMA user_version = 0") : schema);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void Database::open(const QString& path, bool exclusive)
{
    openFile(path, exclusive ? Mode::Exclusive : Mode::Shared, false);
}

void Database::openForReading(const QString& path)
{
    openFile(path, Mode::ReadOnly, false);
}

int Database::busyWait()
{
    return busyWaitMs;
}

void Database::setBusyWait(int ms)
{
    busyWaitMs = ms;
}

QString Database::connectOptions(bool readOnly)
{
    return QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1%2")
        .arg(busyWaitMs)
        .arg(readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString());
}

void Database::applyBusyWait()
{
    Query wait(*this, QStringLiteral("PRAGMA busy_timeout = %1").arg(busyWaitMs));
    wait.exec();
}

std::optional<Database::FileId> Database::fileIdOf(const QString& path)
{
#ifdef Q_OS_WIN
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!known)
        return std::nullopt;
    return FileId{info.dwVolumeSerialNumber,
                  (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileId{quint64(info.st_dev), quint64(info.st_ino)};
#endif
}

bool Database::isStillOnDisk() const
{
    return mFileId && fileIdOf(mPath) == mFileId;
}

Database::FileStart Database::readFileStart(const QString& path, qsizetype length)
{
    FileStart found;
#ifdef Q_OS_WIN
    found.id = fileIdOf(path);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        found.readable = true;
        found.bytes = file.read(length);
        found.size = file.size();
    }
#else
    // One handle gives the identity and the first bytes: with speed priority
    // off this runs before every operation, beside SQLite's own open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // Not readable here (permissions): SQLite says why; the identity is
        // still known.
        found.id = fileIdOf(path);
        return found;
    }
    struct stat info = {};
    if (::fstat(fd, &info) == 0) {
        found.id = FileId{quint64(info.st_dev), quint64(info.st_ino)};
        found.size = info.st_size;
    }
    found.readable = true;
    found.bytes.resize(length);
    const ssize_t n = ::pread(fd, found.bytes.data(), size_t(length), 0);
    found.bytes.resize(n > 0 ? qsizetype(n) : 0);
    ::close(fd);
#endif
    return found;
}

QString Database::databaseName(const QString& path, bool readOnly)
{
    // The same file is opened again and again while speed priority is off;
    // its name is worked out once. A relative path is worked out every time:
    // it follows the current folder. Kept by the connection, which the
    // program's end still uses when it saves what was typed.
    if (path != mUriPath || mUri.isEmpty() || QDir::isRelativePath(path)) {
        mUri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
        mUriPath = path;
    }
    return mUri + (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
}

void Database::openFile(const QString& path, Mode mode, bool allowEmpty)
{
    close();
    const bool exclusive = mode == Mode::Exclusive;
    // SQLite takes an empty file for an empty database and would write into
    // it; an empty calendar file is damaged and must stay as it is. A file
    // without SQLite's header is refused here, before SQLite sees it, which
    // is also cheaper than a first statement on every open.
    static const QByteArray header("SQLite format 3\0", 16);
    // The identity is taken before SQLite opens the file: a file renamed
    // over the path in between is then taken for a replacement and opened
    // afresh, never the other way round.
    const FileStart start = readFileStart(path, header.size());
    mFileId = start.id;
    bool encrypted = false;
    if (!allowEmpty && start.readable) {
        encrypted = Envelope::Starts(start.bytes);
        if (start.bytes.isEmpty() && start.size == 0)
            throw EngineError(path, QStringLiteral("the file is empty and holds no calendar"),
                              EngineError::Cause::Damaged);
        if (start.bytes != header && !encrypted)
            throw EngineError(path, QStringLiteral("the file is not a calendar database"),
                              EngineError::Cause::Damaged);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mConnectionName);
        // mode=rw opens only an existing file: a vanished calendar must be an
        // error, never a new empty database. An encrypted one is read into
        // an empty database in memory.
        if (encrypted) {
            db.setDatabaseName(QStringLiteral(":memory:"));
        } else {
            db.setDatabaseName(databaseName(path, mode == Mode::ReadOnly));
            db.setConnectOptions(connectOptions(mode == Mode::ReadOnly));
        }
        if (!db.open()) {
            const EngineError error = EngineError::fromSql(path, db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(mConnectionName);
            throw error;
        }
    }
    mRegistered = true;
    mPath = path;
    try {
        if (encrypted)
            mImage = std::make_unique<EncryptedImage>(connection(), path, mode == Mode::ReadOnly);
        if (exclusive) {
            exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"));
            // The lock is taken by the first access; take it now.
            exec(QStringLiteral("BEGIN EXCLUSIVE"));
            exec(QStringLiteral("COMMIT"));
        }
        // Reading the schema fails at once for a damaged file. Shared opens
        // leave that to their first statement, which reads the schema anyway.
        if (exclusive) {
            Query check(*this, QStringLiteral("SELECT count(*) FROM sqlite_master"));
            check.exec();
        }
    } catch (...) {
        close();
        throw;
    }
}

void Database::close()
{
    // Tracked here rather than asked of Qt SQL: the global handle is
    // destroyed after Qt SQL's own registry at exit.
    if (!mRegistered)
        return;
    mRegistered = false;
    // SQLite closes no connection that has statements left.
    mPrepared.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(mConnectionName, false);
        if (mInTransaction && db.isOpen())
            db.rollback();
        // The image is wiped before SQLite lets its memory go.
        mImage.reset();
        db.close();
    }
    mInTransaction = false;
    QSqlDatabase::removeDatabase(mConnectionName);
}

bool Database::isOpen() const
{
    return mRegistered && QSqlDatabase::database(mConnectionName, false).isOpen() &&
           !(mImage && mImage->stale());
}

QSqlDatabase Database::connection() const
{
    QSqlDatabase db = QSqlDatabase::database(mConnectionName, false);
    if (!db.isOpen() || (mImage && mImage->stale()))
        throw EngineError(mPath, QStringLiteral("the database is not open"));
    return db;
}

DirectQuery& Database::prepared(const QString& sql)
{
    if (!mRegistered || (mImage && mImage->stale()))
        throw EngineError(mPath, QStringLiteral("the database is not open"));
    for (auto& [text, statement] : mPrepared)
        if (text == sql)
            return *statement;
    mPrepared.emplace_back(sql, std::make_unique<DirectQuery>(*this, sql));
    return *mPrepared.back().second;
}

void Database::beginTrans()
{
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    mInTransaction = true;
}

void Database::commitTrans()
{
    exec(QStringLiteral("COMMIT"));
    mInTransaction = false;
    writeBack();
}

void Database::rollback()
{
    if (!mInTransaction)
        return;
    mInTransaction = false;
    exec(QStringLiteral("ROLLBACK"));
}

void Database::exec(const QString& sql)
{
    Query query(*this, sql);
    query.exec();
}

void Database::writeBack()
{
    // The write renames a new file over the path: this connection's own
    // file from now on, not a replacement by another program.
    if (mImage && mImage->writeBack())
        mFileId = fileIdOf(mPath);
}

void Database::compactInto(const QString& target)
{
    if (mImage) {
        mImage->compactInto(target);
        return;
    }
    Query vacuum(*this, QStringLiteral("VACUUM INTO ?"));
    vacuum.bind(target).exec();
}

Query::Query(Database& db, const QString& sql) : mDb(db), mQuery(db.connection())
{
    // Rows are read once, front to back; Qt would otherwise keep a copy of
    // every row read so far.
    mQuery.setForwardOnly(true);
    if (!mQuery.prepare(sql))
        fail();
}

Query& Query::bind(const QVariant& value)
{
    mValues.append(value);
    return *this;
}

Query& Query::exec()
{
    for (int i = 0; i < mValues.size(); ++i)
        mQuery.bindValue(i, mValues[i]);
    mValues.clear();
    if (!mQuery.exec())
        fail();
    if (!mDb.inTransaction())
        mDb.writeBack();
    return *this;
}

bool Query::next()
{
    if (mQuery.next())
        return true;
    // A step that fails (a damaged page, say) also ends the rows.
    if (mQuery.lastError().isValid())
        fail();
    return false;
}

QVariant Query::value(int column) const
{
    return mQuery.value(column);
}

EngineError Database::statementError(const QSqlError& sqlError) const
{
    const EngineError error = EngineError::fromSql(mPath, sqlError);
    // An encrypted calendar is a database in memory: "full" there means it
    // reached the largest size SQLite lets one grow to, not a full disk.
    if (isEncrypted() && error.cause() == EngineError::Cause::DiskFull)
        return EngineError(error.file(), error.message(), EngineError::Cause::TooLarge);
    return error;
}

int Query::numRowsAffected() const
{
    return mQuery.numRowsAffected();
}

void Query::finish()
{
    mQuery.finish();
}

void Query::fail() const
{
    throw mDb.statementError(mQuery.lastError());
}
