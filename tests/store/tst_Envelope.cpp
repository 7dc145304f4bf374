// The envelope of encrypted files on its own: header, key derivation,
// wrapped keys and the encrypted payload, with cheap key derivation limits.

#include "store/Envelope.h"
#include "store/EnvelopeV1.h"
#include "tests/support/TestMain.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QtEndian>

#include <sodium.h>

#include <optional>

namespace {

// Argon2id at its minimum cost; real files use Argon2Kdf::moderate().
Argon2Kdf cheapKdf()
{
    return Argon2Kdf::withLimits(1, 8);
}

SecureBytes secret(const char* text)
{
    QString value = QString::fromUtf8(text);
    return SecureBytes::takeText(value);
}

QByteArray payloadOf(int size)
{
    QByteArray payload(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        payload[i] = char((i * 7 + i / 251) & 0xff);
    return payload;
}

// What opening `file` gives: the payload, or the failure.
struct Opened
{
    std::optional<EnvelopeFailure> failure;
    QByteArray payload;
};

Opened openWith(QByteArray file, const std::function<EnvelopeKeys(QIODevice&)>& unlock)
{
    Opened result;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    try {
        const EnvelopeKeys keys = unlock(buffer);
        result.payload = Envelope::Open(keys, file);
    } catch (const EnvelopeError& e) {
        result.failure = e.failure();
    }
    return result;
}

Opened openWithPassword(const QByteArray& file, const char* password)
{
    return openWith(file,
                    [&](QIODevice& in) { return EnvelopeKeys::unlock(in, secret(password)); });
}

Opened openWithRecoveryKey(const QByteArray& file, const RecoveryKey& key)
{
    return openWith(file,
                    [&](QIODevice& in) { return EnvelopeKeys::unlockWithRecoveryKey(in, key); });
}

// The header's checksum made right again after a deliberate change.
void resum(QByteArray& file)
{
    crypto_generichash(reinterpret_cast<unsigned char*>(file.data()) + EnvelopeV1::kChecksumAt,
                       crypto_generichash_BYTES,
                       reinterpret_cast<const unsigned char*>(file.data()), EnvelopeV1::kChecksumAt,
                       nullptr, 0);
}

} // namespace

Q_DECLARE_METATYPE(std::optional<EnvelopeFailure>)

class tst_Envelope : public QObject
{
    Q_OBJECT

    std::optional<RecoveryKey> recovery;
    std::optional<EnvelopeKeys> keys;
    // Three chunks: two full ones and a short last one.
    const QByteArray payload = payloadOf(2 * EnvelopeV1::kChunk + 1000);
    QByteArray sealed;

private slots:
    void initTestCase()
    {
        recovery = RecoveryKey::generate();
        keys = EnvelopeKeys::create(secret("日記の合言葉"), cheapKdf(), *recovery);
        sealed = Envelope::Seal(*keys, payload);
    }

    void roundTripOfEverySize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {0, 1, EnvelopeV1::kChunk - 1, EnvelopeV1::kChunk, EnvelopeV1::kChunk + 1,
                         3 * EnvelopeV1::kChunk})
            QTest::addRow("%d bytes", size) << size;
    }

    void roundTripOfEverySize()
    {
        QFETCH(int, size);
        const QByteArray plain = payloadOf(size);
        const QByteArray file = Envelope::Seal(*keys, plain);
        QVERIFY(Envelope::Starts(file));
        QCOMPARE(openWithPassword(file, "日記の合言葉").payload, plain);
        QCOMPARE(openWithRecoveryKey(file, *recovery).payload, plain);
        // Every write has a nonce of its own.
        QVERIFY(Envelope::Seal(*keys, plain) != file);
    }

    void flippedByteIsDetected_data()
    {
        using F = EnvelopeFailure;
        QTest::addColumn<int>("position");
        QTest::addColumn<std::optional<EnvelopeFailure>>("expected");
        const int payloadAt = EnvelopeV1::kHeaderSize;
        const int record = EnvelopeV1::kChunk + EnvelopeV1::kChunkOverhead;
        const std::optional<F> damaged = F::Damaged;
        QTest::newRow("magic") << 0 << std::optional<F>(F::NotEncrypted);
        QTest::newRow("version") << EnvelopeV1::kVersionAt << std::optional<F>(F::UnknownVersion);
        QTest::newRow("key derivation") << EnvelopeV1::kKdfAt << damaged;
        QTest::newRow("passes") << EnvelopeV1::kKdfAt + 2 << damaged;
        QTest::newRow("memory") << EnvelopeV1::kKdfAt + 6 << damaged;
        QTest::newRow("salt") << EnvelopeV1::kSaltAt + 5 << damaged;
        QTest::newRow("password wrap nonce") << EnvelopeV1::kPasswordWrapAt << damaged;
        QTest::newRow("password wrap key") << EnvelopeV1::kPasswordWrapAt + 40 << damaged;
        QTest::newRow("password wrap tag") << EnvelopeV1::kRecoveryWrapAt - 1 << damaged;
        QTest::newRow("recovery wrap nonce") << EnvelopeV1::kRecoveryWrapAt + 3 << damaged;
        QTest::newRow("recovery wrap key") << EnvelopeV1::kRecoveryWrapAt + 50 << damaged;
        QTest::newRow("checksum") << EnvelopeV1::kChecksumAt + 31 << damaged;
        QTest::newRow("first chunk, nonce") << payloadAt << damaged;
        QTest::newRow("first chunk, text") << payloadAt + 100 << damaged;
        QTest::newRow("first chunk, tag") << payloadAt + record - 1 << damaged;
        QTest::newRow("second chunk") << payloadAt + record + 20000 << damaged;
        QTest::newRow("last chunk, tag") << -EnvelopeV1::kSealBytes - 1 << damaged;
        QTest::newRow("seal") << -1 << damaged;
    }

    void flippedByteIsDetected()
    {
        QFETCH(int, position);
        QFETCH(std::optional<EnvelopeFailure>, expected);
        QByteArray file = sealed;
        file[position < 0 ? file.size() + position : position] ^= 0x10;
        QCOMPARE(openWithPassword(file, "日記の合言葉").failure, expected);
        QCOMPARE(openWithRecoveryKey(file, *recovery).failure, expected);
    }

    void cutOrExtendedFileIsDetected_data()
    {
        QTest::addColumn<int>("size");
        const int record = EnvelopeV1::kChunk + EnvelopeV1::kChunkOverhead;
        QTest::newRow("header only") << EnvelopeV1::kHeaderSize;
        QTest::newRow("cut inside the header") << EnvelopeV1::kChecksumAt;
        QTest::newRow("cut at a chunk's end") << EnvelopeV1::kHeaderSize + 2 * record;
        QTest::newRow("cut by one byte") << -1;
        QTest::newRow("one byte more") << 1;
    }

    void cutOrExtendedFileIsDetected()
    {
        QFETCH(int, size);
        QByteArray file = sealed;
        if (size < 0)
            file.chop(-size);
        else if (size == 1)
            file.append('\0');
        else
            file.truncate(size);
        QCOMPARE(openWithPassword(file, "日記の合言葉").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::Damaged));
    }

    void sealerEncryptsOnlyChangedChunks()
    {
        const int record = EnvelopeV1::kChunk + EnvelopeV1::kChunkOverhead;
        auto chunk = [&](const QByteArray& file, int i) {
            const int at = EnvelopeV1::kHeaderSize + i * record;
            return file.mid(at, std::min(record, int(file.size()) - EnvelopeV1::kSealBytes - at));
        };
        EnvelopeSealer sealer(*keys);
        const QByteArray first =
            sealer.seal(reinterpret_cast<const unsigned char*>(payload.constData()),
                        std::size_t(payload.size()));
        QByteArray changed = payload;
        changed[EnvelopeV1::kChunk + 5] = 'x';
        const QByteArray second =
            sealer.seal(reinterpret_cast<const unsigned char*>(changed.constData()),
                        std::size_t(changed.size()));
        QCOMPARE(Envelope::Open(*keys, second), changed);
        QCOMPARE(chunk(second, 0), chunk(first, 0));
        QVERIFY(chunk(second, 1) != chunk(first, 1));
        QCOMPARE(chunk(second, 2), chunk(first, 2));

        // A chunk of the earlier write opens on its own, but not among the
        // chunks of the later one.
        QByteArray spliced = second;
        spliced.replace(EnvelopeV1::kHeaderSize + record, record, chunk(first, 1));
        QCOMPARE(openWithPassword(spliced, "日記の合言葉").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::Damaged));

        // Growing and shrinking the payload.
        for (int size : {3 * EnvelopeV1::kChunk + 7, 10, 0, EnvelopeV1::kChunk}) {
            const QByteArray plain = payloadOf(size);
            QCOMPARE(Envelope::Open(*keys, sealer.seal(reinterpret_cast<const unsigned char*>(
                                                           plain.constData()),
                                                       std::size_t(plain.size()))),
                     plain);
        }
    }

    void headerIsAuthenticatedNotOnlyChecksummed()
    {
        // Someone who writes the checksum anew can change the header
        // undetected by it; the wrapped keys and the payload still catch it.
        QByteArray otherWrap = sealed;
        otherWrap[EnvelopeV1::kRecoveryWrapAt + 50] ^= 1;
        resum(otherWrap);
        QCOMPARE(openWithPassword(otherWrap, "日記の合言葉").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::Damaged));

        QByteArray otherSalt = sealed;
        otherSalt[EnvelopeV1::kSaltAt] ^= 1;
        resum(otherSalt);
        QCOMPARE(openWithPassword(otherSalt, "日記の合言葉").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::WrongPassword));
    }

    void keyDerivationLimitsHaveACeiling_data()
    {
        QTest::addColumn<quint32>("passes");
        QTest::addColumn<quint32>("memoryKiB");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the least") << 1u << 8u << true;
        QTest::newRow("what new files get") << 3u << 262144u << true;
        QTest::newRow("10 passes over 1 GiB") << 10u << 1048576u << true;
        QTest::newRow("11 passes") << 11u << 8u << false;
        QTest::newRow("1 GiB and 1 KiB") << 1u << 1048577u << false;
        QTest::newRow("16 passes over 4 GiB") << 16u << 4194304u << false;
        QTest::newRow("no pass") << 0u << 8u << false;
        QTest::newRow("7 KiB") << 1u << 7u << false;
    }
    void keyDerivationLimitsHaveACeiling()
    {
        // Read from a header whose checksum holds, as someone who raised
        // them would write it: beyond the ceiling the header is refused as
        // altered, before anything is derived from it.
        QFETCH(quint32, passes);
        QFETCH(quint32, memoryKiB);
        QFETCH(bool, accepted);
        QByteArray file = sealed;
        qToLittleEndian<quint32>(passes, file.data() + EnvelopeV1::kKdfAt + 2);
        qToLittleEndian<quint32>(memoryKiB, file.data() + EnvelopeV1::kKdfAt + 6);
        resum(file);
        std::optional<EnvelopeFailure> failure;
        try {
            const EnvelopeHeader header = Envelope::ReadHeader(file);
            QCOMPARE(header.kdf.passes(), passes);
            QCOMPARE(header.kdf.memoryKiB(), memoryKiB);
        } catch (const EnvelopeError& e) {
            failure = e.failure();
        }
        QCOMPARE(failure, accepted ? std::nullopt : std::optional(EnvelopeFailure::Damaged));
    }

    void wrongKeysAreRefused()
    {
        QCOMPARE(openWithPassword(sealed, "日記の合言葉 ").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::WrongPassword));
        QCOMPARE(openWithPassword(sealed, "").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::WrongPassword));
        QCOMPARE(openWithRecoveryKey(sealed, RecoveryKey::generate()).failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::WrongRecoveryKey));
        // Keys of another file do not open this one's payload.
        const EnvelopeKeys other =
            EnvelopeKeys::create(secret("日記の合言葉"), cheapKdf(), RecoveryKey::generate());
        QVERIFY_THROWS_EXCEPTION(EnvelopeError, Envelope::Open(other, sealed));
    }

    void passwordChangeKeepsDataAndRecoveryKey()
    {
        const EnvelopeKeys changed = keys->withPassword(secret("新しい合言葉"), cheapKdf());
        QVERIFY(changed.dataKey() == keys->dataKey());
        QVERIFY(changed.kdf().salt() != keys->kdf().salt());
        const QByteArray file = Envelope::Seal(changed, payload);
        QCOMPARE(openWithPassword(file, "日記の合言葉").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::WrongPassword));
        QCOMPARE(openWithPassword(file, "新しい合言葉").payload, payload);
        QCOMPARE(openWithRecoveryKey(file, *recovery).payload, payload);
    }

    void unknownVersionAndPlainFiles()
    {
        QByteArray newer = sealed;
        qToLittleEndian<quint16>(2, newer.data() + EnvelopeV1::kVersionAt);
        QBuffer buffer(&newer);
        buffer.open(QIODevice::ReadOnly);
        try {
            EnvelopeKeys::unlock(buffer, secret("日記の合言葉"));
            QFAIL("opened a version it cannot read");
        } catch (const EnvelopeError& e) {
            QCOMPARE(e.failure(), EnvelopeFailure::UnknownVersion);
            QCOMPARE(e.text(),
                     QStringLiteral(
                         "この暦ファイルの暗号化の形式（バージョン 2）には対応していません。"));
        }
        QCOMPARE(openWithPassword(QByteArray("SQLite format 3\0", 16) + payload, "x").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::NotEncrypted));
        QCOMPARE(openWithPassword(QByteArray("ZEDU-E"), "x").failure,
                 std::optional<EnvelopeFailure>(EnvelopeFailure::NotEncrypted));
    }

    void recoveryKeyIsReadAsPeopleWriteIt()
    {
        const QString text = recovery->text();
        QVERIFY(
            QRegularExpression(QStringLiteral("^([0-9A-HJKMNP-TV-Z]{4}-){7}[0-9A-HJKMNP-TV-Z]{4}$"))
                .match(text)
                .hasMatch());
        QString fullWidth;
        for (QChar c : text)
            fullWidth += c == QLatin1Char('-') ? QChar(0x30FC) : QChar(c.unicode() + 0xFEE0);
        QString misread = text;
        misread.replace(QLatin1Char('0'), QLatin1Char('o'))
            .replace(QLatin1Char('1'), QLatin1Char('l'));
        const QStringList sameKey{text.toLower(),
                                  QString(text).remove(QLatin1Char('-')),
                                  QString(text).replace(QLatin1Char('-'), QStringLiteral(" \n ")),
                                  QStringLiteral("  ") + text + QStringLiteral("\t"),
                                  fullWidth,
                                  misread};
        for (const QString& typed : sameKey) {
            const std::optional<RecoveryKey> parsed = RecoveryKey::parse(typed);
            QVERIFY2(parsed, qPrintable(typed));
            QVERIFY(parsed->wrappingKey() == recovery->wrappingKey());
            QCOMPARE(parsed->text(), text);
        }
        const QStringList notAKey{QString(text).chopped(1), text + QLatin1Char('7'),
                                  QString(text).replace(2, 1, QLatin1Char('U')), QString(),
                                  QString(text).replace(0, 1, QLatin1Char('*'))};
        for (const QString& typed : notAKey)
            QVERIFY2(!RecoveryKey::parse(typed), qPrintable(typed));
    }

    void passwordTextIsWipedWhereItWasKept()
    {
        QString typed = QStringLiteral("秘密の") + QString::number(42);
        const QString box = typed; // the text a line edit still shares
        const SecureBytes bytes = SecureBytes::takeText(typed);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                 QStringLiteral("秘密の42").toUtf8());
        QVERIFY(typed.isEmpty());
        QCOMPARE(box, QString(5, QChar(0)));
    }
};

ZEDU_TEST_MAIN(tst_Envelope)
#include "tst_Envelope.moc"
