#include "store/DirectQuery.h"

#include <QSqlDriver>

#include <optional>

#include <sqlite3.h>

namespace {

// The SQLite connection under a Qt one.
sqlite3* handleOf(Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw EngineError(db.path(), QStringLiteral("the database driver is not SQLite"));
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Text bound by bindUtf8.
struct Utf8Text
{
    QByteArray bytes;
};

} // namespace

DirectQuery::DirectQuery(Database& db, const QString& sql) : mDb(db), mHandle(handleOf(db))
{
    const QByteArray text = sql.toUtf8();
    const int code =
        sqlite3_prepare_v2(mHandle, text.constData(), int(text.size()), &mStatement, nullptr);
    if (code != SQLITE_OK) {
        const EngineError error = errorOf(code);
        sqlite3_finalize(mStatement);
        throw error;
    }
    mValues.reserve(size_t(sqlite3_bind_parameter_count(mStatement)));
}

DirectQuery::~DirectQuery()
{
    sqlite3_finalize(mStatement);
}

DirectQuery& DirectQuery::bind(const QVariant& value)
{
    mValues.push_back(value);
    return *this;
}

DirectQuery& DirectQuery::bindUtf8(const QByteArray& text)
{
    mValues.push_back(QVariant::fromValue(Utf8Text{text}));
    return *this;
}

DirectQuery& DirectQuery::exec()
{
    // The run before is ended first: its locks and its values go.
    finish();
    mBound.swap(mValues);
    mValues.clear();
    int code = SQLITE_OK;
    for (size_t i = 0; i < mBound.size() && code == SQLITE_OK; ++i) {
        const QVariant& v = mBound[i];
        const int at = int(i) + 1;
        // A null text or byte array binds NULL too, as with Qt's driver.
        const bool null = v.isNull() ||
                          (v.typeId() == QMetaType::QString &&
                           static_cast<const QString*>(v.constData())->isNull()) ||
                          (v.typeId() == QMetaType::QByteArray &&
                           static_cast<const QByteArray*>(v.constData())->isNull());
        if (null) {
            code = sqlite3_bind_null(mStatement, at);
            continue;
        }
        if (v.metaType() == QMetaType::fromType<Utf8Text>()) {
            const QByteArray& bytes = static_cast<const Utf8Text*>(v.constData())->bytes;
            code = sqlite3_bind_text64(mStatement, at, bytes.constData(),
                                       sqlite3_uint64(bytes.size()), SQLITE_STATIC, SQLITE_UTF8);
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            code = sqlite3_bind_int64(mStatement, at, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            code = sqlite3_bind_double(mStatement, at, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray& bytes = *static_cast<const QByteArray*>(v.constData());
            code = sqlite3_bind_blob64(mStatement, at, bytes.constData(),
                                       sqlite3_uint64(bytes.size()), SQLITE_STATIC);
            break;
        }
        case QMetaType::QString: {
            const QString& text = *static_cast<const QString*>(v.constData());
            // The file keeps UTF-8: Qt's encoder turns the text into it
            // faster than SQLite's. A text with a lone surrogate, which
            // the two would write differently, is left to SQLite.
            if (QStringView(text).isValidUtf16()) {
                const QByteArray& bytes = mUtf8.emplace_back(text.toUtf8());
                code =
                    sqlite3_bind_text64(mStatement, at, bytes.constData(),
                                        sqlite3_uint64(bytes.size()), SQLITE_STATIC, SQLITE_UTF8);
            } else {
                code = sqlite3_bind_text16(mStatement, at, text.utf16(), int(text.size() * 2),
                                           SQLITE_STATIC);
            }
            break;
        }
        default: {
            // Anything else as its text, which SQLite copies.
            const QString text = v.toString();
            code = sqlite3_bind_text16(mStatement, at, text.utf16(), int(text.size() * 2),
                                       SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (code == SQLITE_OK)
        code = sqlite3_step(mStatement);
    mStepped = true;
    if (code == SQLITE_ROW) {
        // The values stay bound while the rows are read: SQLite may look
        // at them again for each row.
        mRowAtHand = true;
    } else if (code == SQLITE_DONE) {
        // Nothing to read: the statement lets its locks go now.
        mChanges = sqlite3_changes(mHandle);
        finish();
    } else {
        const EngineError error = errorOf(code);
        finish();
        throw error;
    }
    if (!mDb.inTransaction())
        mDb.writeBack();
    return *this;
}

bool DirectQuery::next()
{
    if (mRowAtHand) {
        mRowAtHand = false;
        return true;
    }
    if (!mStepped)
        return false;
    const int code = sqlite3_step(mStatement);
    if (code == SQLITE_ROW)
        return true;
    // A step that fails (a damaged page, say) also ends the rows.
    const std::optional<EngineError> error =
        code == SQLITE_DONE ? std::nullopt : std::optional<EngineError>(errorOf(code));
    finish();
    if (error)
        throw *error;
    return false;
}

void DirectQuery::finish()
{
    mRowAtHand = false;
    if (mStepped) {
        sqlite3_reset(mStatement);
        mStepped = false;
    }
    if (!mBound.empty()) {
        sqlite3_clear_bindings(mStatement);
        mBound.clear();
        mUtf8.clear();
    }
}

QVariant DirectQuery::value(int column) const
{
    switch (sqlite3_column_type(mStatement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(mStatement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(mStatement, column));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(mStatement, column)),
                       sqlite3_column_bytes(mStatement, column)));
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto* text = static_cast<const QChar*>(sqlite3_column_text16(mStatement, column));
        return QVariant(QString(text, sqlite3_column_bytes16(mStatement, column) / 2));
    }
    }
}

int DirectQuery::intValue(int column) const
{
    return sqlite3_column_int(mStatement, column);
}

int DirectQuery::numRowsAffected() const
{
    return mChanges;
}

EngineError DirectQuery::errorOf(int code) const
{
    return mDb.statementError(QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(mHandle)),
                                        QSqlError::StatementError, QString::number(code)));
}
