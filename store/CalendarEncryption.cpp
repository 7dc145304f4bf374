#include "store/CalendarEncryption.h"

#include "platform/Globals.h"
#include "store/EncryptedImage.h"
#include "store/Engine.h"
#include "store/FileSession.h"

#include <QFile>

#include <functional>
#include <optional>

namespace {

void openForReading(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(file.fileName(), file.errorString(),
                          EngineError::fileCause(file.fileName()));
}

// The payload of `path`, opened with `with` (the held keys when null).
QByteArray openSealed(const QString& path, const EnvelopeKeys* with = nullptr)
{
    const EnvelopeKeys& keys = with ? *with : RequireCalendarKeys(path);
    QFile file(path);
    openForReading(file);
    const QByteArray sealed = file.readAll();
    QByteArray payload;
    try {
        if (!keys.fits(Envelope::ReadHeader(sealed)))
            throw EngineError(path, QStringLiteral("the file is sealed with other keys"),
                              EngineError::Cause::Locked);
        payload = Envelope::Open(keys, sealed);
    } catch (const EnvelopeError& e) {
        throw EngineError(path, QString::fromUtf8(e.what()),
                          e.failure() == EnvelopeFailure::UnknownVersion
                              ? EngineError::Cause::UnknownFormat
                              : EngineError::Cause::Altered);
    }
    return payload;
}

void holdKeysWith(const QString& path, const std::function<EnvelopeKeys(QFile&)>& unlock)
{
    QFile file(path);
    openForReading(file);
    HoldCalendarKeys(unlock(file));
}

void unlockWith(const std::function<EnvelopeKeys(QFile&)>& unlock)
{
    holdKeysWith(gDataPath, unlock);
    try {
        gDatabase.open(gDataPath);
    } catch (const EngineError& e) {
        // The header opened, so a failure of the rest is the file's: the
        // keys stay for the backups sealed with them.
        if (e.cause() != EngineError::Cause::Altered)
            ForgetCalendarKeys();
        throw;
    }
}

} // namespace

bool IsEncryptedFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && Envelope::Starts(file.read(16));
}

void UnlockCalendar(const SecureBytes& password)
{
    unlockWith([&](QFile& file) { return EnvelopeKeys::unlock(file, password); });
}

void UnlockCalendarWithRecoveryKey(const RecoveryKey& recovery)
{
    unlockWith([&](QFile& file) { return EnvelopeKeys::unlockWithRecoveryKey(file, recovery); });
}

void HoldKeysOf(const QString& path, const SecureBytes& password)
{
    holdKeysWith(path, [&](QFile& file) { return EnvelopeKeys::unlock(file, password); });
}

QString EncryptCalendar(const SecureBytes& password, const Argon2Kdf& kdf)
{
    gDatabase.close();
    std::optional<WipedBytes> image;
    {
        Database plain;
        plain.open(gDataPath);
        if (plain.isEncrypted())
            throw EngineError(gDataPath, QStringLiteral("the calendar is already encrypted"));
        image.emplace(ImageOf(plain));
    }
    const RecoveryKey recovery = RecoveryKey::generate();
    EnvelopeKeys keys = EnvelopeKeys::create(password, kdf, recovery);
    WriteEnvelopeFile(gDataPath, keys, image->data(), image->size());
    HoldCalendarKeys(std::move(keys));
    return recovery.text();
}

void DecryptCalendar()
{
    gDatabase.close();
    const WipedBytes image(openSealed(gDataPath));
    ReplaceFileContents(gDataPath, image.bytes());
    ForgetCalendarKeys();
}

void CheckCalendarPassword(const SecureBytes& password)
{
    const EnvelopeKeys& held = RequireCalendarKeys(gDataPath);
    QFile file(gDataPath);
    openForReading(file);
    if (!(EnvelopeKeys::unlock(file, password).dataKey() == held.dataKey()))
        throw EngineError(gDataPath, QStringLiteral("the file is sealed with other keys"),
                          EngineError::Cause::Locked);
}

void ChangeCalendarPassword(const SecureBytes& current, const SecureBytes& newPassword,
                            const Argon2Kdf& kdf)
{
    CheckCalendarPassword(current);
    SetCalendarPassword(newPassword, kdf);
}

void SetCalendarPassword(const SecureBytes& newPassword, const Argon2Kdf& kdf)
{
    EnvelopeKeys changed = RequireCalendarKeys(gDataPath).withPassword(newPassword, kdf);
    // The file is renamed over: the image is read again from the new one
    // by the next operation.
    gDatabase.close();
    ResealFile(gDataPath, changed);
    HoldCalendarKeys(std::move(changed));
}

QString RenewCalendarKeys(const SecureBytes& newPassword, const Argon2Kdf& kdf)
{
    RequireCalendarKeys(gDataPath);
    const RecoveryKey recovery = RecoveryKey::generate();
    EnvelopeKeys fresh = EnvelopeKeys::create(newPassword, kdf, recovery);
    // The image is read again from the new file by the next operation,
    // with the new keys.
    gDatabase.close();
    ResealFile(gDataPath, fresh);
    HoldCalendarKeys(std::move(fresh));
    return recovery.text();
}

void SealFileInPlace(const QString& path)
{
    const EnvelopeKeys& keys = RequireCalendarKeys(path);
    QFile file(path);
    openForReading(file);
    const WipedBytes plain(file.readAll());
    file.close();
    if (!Envelope::Starts(plain.bytes()))
        WriteEnvelopeFile(path, keys, plain.data(), plain.size());
}

void UnsealFileInPlace(const QString& path)
{
    if (!IsEncryptedFile(path))
        return;
    const WipedBytes payload(openSealed(path));
    ReplaceFileContents(path, payload.bytes());
}

void ResealFile(const QString& path, const EnvelopeKeys& keys, const EnvelopeKeys* from)
{
    const WipedBytes payload(openSealed(path, from));
    WriteEnvelopeFile(path, keys, payload.data(), payload.size());
}

void WriteSealedFile(const QString& path, const QByteArray& payload)
{
    WriteEnvelopeFile(path, RequireCalendarKeys(path),
                      reinterpret_cast<const unsigned char*>(payload.constData()),
                      std::size_t(payload.size()));
}

QByteArray ReadSealedFile(const QString& path)
{
    return openSealed(path);
}
