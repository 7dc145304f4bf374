#include "entries/RecoveryFile.h"

#include "platform/Clock.h"
#include "platform/DayKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A file not reported yet carries this ending; reporting it takes it off.
const QString kNotReported = QStringLiteral(".new");

bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

} // namespace

QString RecoveryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

QString KeepForRecovery(int dayKey, const QString& text)
{
    const QDateTime now = Clock::Now();
    QString body =
        QStringLiteral("日付 %1\n時刻 %2\n\n")
            .arg(FormatDayKey(dayKey), now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    body += QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!body.endsWith(QLatin1Char('\n')))
        body += QLatin1Char('\n');

    const QString folder = RecoveryFolder();
    if (QDir().mkpath(folder)) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString stem = folder + QStringLiteral("/Entry-%1-%2")
                                          .arg(dayKey)
                                          .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
        QString path = stem + QStringLiteral(".txt");
        for (int n = 2; QFileInfo::exists(path) || QFileInfo::exists(path + kNotReported); ++n)
            path = stem + QStringLiteral("-%1.txt").arg(n);
        QFile file(path + kNotReported);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            const QByteArray bytes = body.toUtf8();
            // On disk before the process ends: the machine may be going down.
            const bool written =
                file.write(bytes) == bytes.size() && file.flush() && syncToDisk(file.handle());
            file.close();
            if (written)
                return file.fileName();
            file.remove();
        }
    }
    // Nowhere to keep it: the session's log is the last place that may.
    std::fputs(body.toUtf8().constData(), stderr);
    std::fflush(stderr);
    return QString();
}

QStringList TakeNewRecoveryFiles()
{
    const QString folder = RecoveryFolder();
    QStringList reported;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.txt") + kNotReported}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        const QString kept = path.chopped(kNotReported.size());
        reported << (QFile::rename(path, kept) ? kept : path);
    }
    return reported;
}

QString RecoveryNoticeText(const QStringList& files)
{
    QString text =
        QStringLiteral("前回の終了時に書き込めなかった予定を、次のファイルに残しました。");
    for (const QString& file : files)
        text += QLatin1Char('\r') + QDir::toNativeSeparators(file);
    return text;
}
