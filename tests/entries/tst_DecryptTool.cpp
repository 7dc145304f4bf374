// tools/zedu-decrypt, the decrypter written from doc/encrypted-calendar.md
// alone, on files this program sealed: the calendar, a backup of it and a
// sealed recovery file, opened by password and by recovery key; and its
// refusals, which leave no output behind.

#include "entries/RecoveryFile.h"
#include "platform/Globals.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// With a space inside: the tool takes the line as it comes.
const QString kPassword = QStringLiteral("合言葉 pass");
const int kRecoveredDay = 20240103;
const QString kRecoveredEntry = QStringLiteral("梅の花\r\n二行目");
const int kChangedDay = 20251231;
const QString kChangedEntry = QStringLiteral("大晦日\r\n\r\n書き直した");
const QString kEveryRow = QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master ORDER BY 日付");
// Records of the envelope's payload, as the format has them.
constexpr int kHeader = 212;
constexpr int kRecord = 65536 + 40;

SecureBytes secret(const QString& text)
{
    QString copy = text;
    return SecureBytes::takeText(copy);
}

// The key as someone might type it: lower case, full-width letters and
// digits, the long-vowel mark of a Japanese keyboard for the hyphens.
QString typedForm(const QString& key)
{
    QString typed;
    for (const QChar c : key.toLower())
        typed += c == u'-' ? QChar(u'ー') : QChar(char16_t(c.unicode() + 0xFEE0));
    return typed;
}

// The same key with its last symbol changed: still a key, not this one.
QString otherKey(const QString& key)
{
    return key.chopped(1) + (key.endsWith(u'0') ? u'1' : u'0');
}

struct ToolRun
{
    int exitCode = -1;
    QString error;
};

ToolRun runTool(const QStringList& arguments, const QByteArray& input)
{
    QProcess tool;
    tool.start(QStringLiteral(ZEDU_DECRYPT), arguments);
    if (!tool.waitForStarted())
        return {-1, tool.errorString()};
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("did not end")};
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardError()).trimmed()};
}

} // namespace

class tst_DecryptTool : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString recoveryKey;
    QMap<QString, QString> files;
    QList<QVariantList> backupRows, calendarRows;
    int outputs = 0;

    QString newOutput() { return dir.filePath(QStringLiteral("out-%1").arg(++outputs)); }

    // The secret as a row gives it: options and what goes to the standard
    // input, files written here.
    QStringList secretOptions(const QString& way, QByteArray& input)
    {
        const QByteArray password = kPassword.toUtf8();
        if (way == u"password on stdin") {
            input = password + "\n";
            return {};
        }
        if (way == u"password file") {
            const QString path = dir.filePath(QStringLiteral("password"));
            writeFile(path, password + "\r\nnot this line\n");
            return {QStringLiteral("--password-file"), path};
        }
        if (way == u"password fd") {
            input = password + "\r\n";
            return {QStringLiteral("--password-fd"), QStringLiteral("0")};
        }
        if (way == u"recovery key on stdin") {
            input = recoveryKey.toUtf8() + "\n";
            return {QStringLiteral("--recovery-key")};
        }
        if (way == u"recovery key typed") {
            input = typedForm(recoveryKey).toUtf8();
            return {QStringLiteral("--recovery-key-fd"), QStringLiteral("0")};
        }
        if (way == u"recovery key file") {
            const QString path = dir.filePath(QStringLiteral("key"));
            writeFile(path, recoveryKey.toUtf8() + "\n");
            return {QStringLiteral("--recovery-key-file"), path};
        }
        if (way == u"wrong password") {
            input = "合言葉\n";
            return {};
        }
        if (way == u"wrong recovery key") {
            input = otherKey(recoveryKey).toUtf8();
            return {QStringLiteral("--recovery-key")};
        }
        input = recoveryKey.chopped(1).toUtf8() + "U";
        return {QStringLiteral("--recovery-key")};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        Argon2Kdf::setNewFileLimitsForTesting(1, 8);
        gDataPath = dir.filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 202301, 202512));
        QVERIFY(WriteDayEntry(gDataPath, kRecoveredDay, kRecoveredEntry));
        // Long enough to span chunks by itself.
        QVERIFY(WriteDayEntry(gDataPath, 20250505,
                              QStringLiteral("長い日記の一行です。\r\n").repeated(8000)));
        backupRows = SqlPeek(gDataPath).rows(kEveryRow);
        QCOMPARE(backupRows.size(), 1096);

        recoveryKey = EncryptCalendar(secret(kPassword));
        files[QStringLiteral("backup")] = BackupCalendar();
        // Saved after the backup: the calendar's records come from two
        // writes, the unchanged ones copied as they were.
        QVERIFY(gMaster.PlanSave(kChangedDay, kChangedEntry));
        calendarRows = backupRows;
        calendarRows.last()[3] = kChangedEntry;
        files[QStringLiteral("calendar")] = gDataPath;
        files[QStringLiteral("recovery")] = WriteRecoveryFile(kRecoveredDay, kRecoveredEntry);
        ForgetCalendarKeys();

        QCOMPARE(calendarRows.last()[0].toInt(), kChangedDay);
        QVERIFY(files[QStringLiteral("backup")].contains(QLatin1String("/backup/Data-")));
        QVERIFY(QFileInfo(files[QStringLiteral("recovery")])
                    .fileName()
                    .startsWith(QStringLiteral("Entry-%1-").arg(kRecoveredDay)));
        for (const QString& path : std::as_const(files))
            QVERIFY2(IsEncryptedFile(path), qPrintable(path));
        QVERIFY(QFileInfo(gDataPath).size() > 3 * kRecord);
    }

    void cleanupTestCase()
    {
        gDatabase.close();
        Argon2Kdf::setNewFileLimitsForTesting(0, 0);
    }

    void decryptsWhatTheProgramSealed_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("secretWay");
        QTest::newRow("calendar, password") << "calendar"
                                            << "password on stdin";
        QTest::newRow("calendar, recovery key") << "calendar"
                                                << "recovery key typed";
        QTest::newRow("backup, password") << "backup"
                                          << "password file";
        QTest::newRow("backup, recovery key") << "backup"
                                              << "recovery key file";
        QTest::newRow("recovery file, password") << "recovery"
                                                 << "password fd";
        QTest::newRow("recovery file, recovery key") << "recovery"
                                                     << "recovery key on stdin";
    }

    void decryptsWhatTheProgramSealed()
    {
        QFETCH(QString, file);
        QFETCH(QString, secretWay);
        QByteArray input;
        const QString output = newOutput();
        const ToolRun run =
            runTool(secretOptions(secretWay, input) << files[file] << output, input);
        QVERIFY2(run.exitCode == 0, qPrintable(run.error));
        QVERIFY(OwnerOnly(output));

        if (file == u"recovery") {
            const QString text = QString::fromUtf8(readFile(output));
            const QRegularExpressionMatch head =
                QRegularExpression(
                    QStringLiteral("^日付 2024/01/03\n"
                                   "時刻 \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\n\n"))
                    .match(text);
            QVERIFY2(head.hasMatch(), qPrintable(text));
            QCOMPARE(
                text.mid(head.capturedLength()),
                QString(kRecoveredEntry).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) +
                    u'\n');
            return;
        }
        const SqlPeek image(output);
        QVERIFY(image.ok());
        QCOMPARE(image.one(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(image.rows(kEveryRow), file == u"backup" ? backupRows : calendarRows);
    }

    void refusesAndLeavesNoOutput_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("secretWay");
        // A byte changed: its offset (from the end when negative) and the
        // bits flipped; the header checksum computed anew when asked, as
        // someone altering the file on purpose would.
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("flip");
        QTest::addColumn<bool>("newChecksum");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        const QString wrongPassword = QStringLiteral("wrong password");
        const QString damaged = QStringLiteral("file damaged or altered");
        QTest::newRow("wrong password")
            << "calendar" << wrongPassword << 0 << 0 << false << 1 << wrongPassword;
        QTest::newRow("wrong recovery key")
            << "backup"
            << "wrong recovery key" << 0 << 0 << false << 1 << "wrong recovery key";
        QTest::newRow("not a recovery key")
            << "recovery"
            << "not a recovery key" << 0 << 0 << false << 1 << "not a recovery key";
        QTest::newRow("flipped in the second chunk")
            << "calendar"
            << "password on stdin" << kHeader + kRecord + 100 << 0x01 << false << 2
            << damaged + u": chunk 1"_s;
        QTest::newRow("flipped in a nonce, by recovery key")
            << "calendar"
            << "recovery key on stdin" << kHeader + 2 * kRecord + 3 << 0x80 << false << 2
            << damaged + u": seal"_s;
        QTest::newRow("flipped in the seal")
            << "backup"
            << "password on stdin" << -1 << 0x01 << false << 2 << damaged + u": seal"_s;
        QTest::newRow("flipped in the header")
            << "recovery"
            << "password on stdin" << 30 << 0x04 << false << 2 << damaged + u": header checksum"_s;
        QTest::newRow("passes above the ceiling")
            << "recovery"
            << "password on stdin" << 12 << (1 ^ 11) << true << 2
            << damaged + u": Argon2id limits outside the reader's rules: passes 11,"_s;
        QTest::newRow("memory below the floor")
            << "calendar"
            << "password on stdin" << 16 << (8 ^ 7) << true << 2
            << damaged + u": Argon2id limits outside the reader's rules: passes 1, memory 7 KiB"_s;
        QTest::newRow("salt changed")
            << "backup"
            << "password on stdin" << 20 << 0x10 << true << 1 << wrongPassword;
        QTest::newRow("unknown version")
            << "recovery"
            << "recovery key on stdin" << 8 << 0x03 << false << 2 << "unknown format version 2";
    }

    void refusesAndLeavesNoOutput()
    {
        QFETCH(QString, file);
        QFETCH(QString, secretWay);
        QFETCH(int, at);
        QFETCH(int, flip);
        QFETCH(bool, newChecksum);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);

        QString path = files[file];
        if (flip != 0) {
            QByteArray bytes = readFile(path);
            const qsizetype offset = at < 0 ? bytes.size() + at : at;
            bytes[offset] = char(bytes[offset] ^ flip);
            if (newChecksum)
                bytes.replace(
                    180, 32,
                    QCryptographicHash::hash(bytes.first(180), QCryptographicHash::Blake2b_256));
            path = dir.filePath(QStringLiteral("altered-") + QFileInfo(path).fileName());
            writeFile(path, bytes);
        }
        QByteArray input;
        const QString output = newOutput();
        const ToolRun run = runTool(secretOptions(secretWay, input) << path << output, input);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.error.startsWith(QStringLiteral("zedu-decrypt: ") + reason),
                 qPrintable(run.error));
        QVERIFY(!run.error.contains(u'\n'));
        QVERIFY(!QFile::exists(output));
    }
};

ZEDU_TEST_MAIN(tst_DecryptTool)
#include "tst_DecryptTool.moc"
