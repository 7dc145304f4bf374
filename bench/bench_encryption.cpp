// Times an encrypted calendar with a 300-character entry on every day:
// unlocking it (key derivation, reading and decrypting the file, opening the
// image, the first read) beside the key derivation alone, and saving one
// entry beside writing as many bytes to a file with flush and rename.
// Run from a release build: build/release/bench/zedu_bench_encryption

#include "bench/BenchTiming.h"
#include "bench/YesDialogs.h"
#include "platform/Globals.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

SecureBytes password()
{
    QString text = QStringLiteral("日記の合言葉");
    return SecureBytes::takeText(text);
}

// A calendar of the years `first` to `last` with a different 300-character
// entry on every day, encrypted with the limits new calendars get.
void makeEncryptedCalendar(const QString& path, int first, int last)
{
    gDatabase.close();
    ForgetCalendarKeys();
    gDataPath = path;
    gOpenFlag = true;
    gMaster.Create();
    gDatabase.open(gDataPath);
    gMaster.Update(first * 100 + 1, last * 100 + 12);
    {
        FileSession session;
        Query fill(session.db(), QStringLiteral("UPDATE Master SET 内容 = ? || 日付"));
        fill.bind(QStringLiteral("今日は朝から晴れて、川沿いを歩いた。").repeated(16).left(292))
            .exec();
    }
    EncryptCalendar(password());
}

void syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// `bytes` written to a new file beside `path`, flushed, renamed over it, and
// the folder flushed: the file work of a save without the encryption.
void writeAndReplace(const QString& path, const QByteArray& bytes)
{
    const QString partial = path + QStringLiteral(".part");
    {
        QFile file(partial);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        file.write(bytes);
    }
    syncPath(partial, O_RDONLY);
    std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData());
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

void reportUnlock(const char* operation, int runs)
{
    const Argon2Kdf kdf = Argon2Kdf::moderate();
    const SecureBytes typed = password();
    QString text;
    report(operation,
           median(
               runs,
               [] {
                   gDatabase.close();
                   ForgetCalendarKeys();
               },
               [&] {
                   UnlockCalendar(typed);
                   gMaster.PlanLoad(20500615, text);
               }),
           median(
               runs, [] {}, [&] { kdf.deriveKey(typed); }),
           "unlock", "of KDF");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    YesDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    QTemporaryDir dir;

    makeEncryptedCalendar(dir.filePath(QStringLiteral("Ten.vad")), 2045, 2054);
    reportUnlock("unlock (10 years)", 5);

    makeEncryptedCalendar(dir.filePath(QStringLiteral("Century.vad")), 2000, 2099);
    reportUnlock("unlock (100 years)", 5);
    std::printf("  encrypted 100-year calendar: %.1f MB\n",
                double(QFileInfo(gDataPath).size()) / 1e6);

    // One entry saved on the encrypted 100-year calendar (unlocked, in
    // memory) beside writing as many bytes as the file has.
    UnlockCalendar(password());
    const QByteArray bytes(QFileInfo(gDataPath).size(), 'x');
    const QString plainPath = dir.filePath(QStringLiteral("bytes.bin"));
    int n = 0;
    report("encrypted save (100 years)",
           median(
               11, [] {}, [&] { gMaster.PlanSave(20500615, QStringLiteral("保存 %1").arg(++n)); }),
           median(
               11, [] {}, [&] { writeAndReplace(plainPath, bytes); }),
           "save", "encrypted save ratio");

    gDatabase.close();
    ForgetCalendarKeys();
    return 0;
}
