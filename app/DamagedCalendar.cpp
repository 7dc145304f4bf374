#include "app/DamagedCalendar.h"

#include "app/FirstRun.h"
#include "app/Main.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarCheck.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "ui/frmMain.h"
#include "ui/frmRestore.h"

#include <QDir>

namespace {

// No backup to go back to: the user may put a copy of their own in place,
// or set the file aside and begin a new calendar, as at a first run.
std::optional<int> offerNewCalendar(const EngineError& error)
{
    ShowWarning(StoreErrorText(error) + QLatin1Char('\r') +
                QStringLiteral("復元できるバックアップがありません。\r") +
                QDir::toNativeSeparators(BackupFolder()) +
                QStringLiteral("\r暦ファイルのコピーをお持ちの場合は、Zedu を終了してから、"
                               "そのコピーを次の名前で置いて下さい。\r") +
                QDir::toNativeSeparators(gDataPath) +
                QStringLiteral("\rコピーがない場合は、新しい暦を作って始めることができます。"));
    if (AskYesNo(QStringLiteral("新しい暦を作って始めますか？ 開けなかったファイルは backup "
                                "フォルダに残します。"),
                 Dialogs::No) == Dialogs::No)
        return kStartupEnded;
    QString aside;
    try {
        aside = SetDamagedCalendarAside();
    } catch (const EngineError& failure) {
        ShowWarning(
            QStringLiteral("開けなかった暦ファイルを backup フォルダに移せませんでした。\r") +
            StoreErrorText(failure));
        return kStartupEnded;
    }
    // The new calendar is a plain one, as at every first run: the keys of
    // the file set aside seal nothing of it.
    ForgetCalendarKeys();
    if (const std::optional<int> ended = PrepareCalendarFile())
        return ended;
    ShowInfo(QStringLiteral("新しい暦を作りました。開けなかった暦ファイルは、次のファイルに残し"
                            "ました。\r") +
             QDir::toNativeSeparators(aside));
    return std::nullopt;
}

} // namespace

std::optional<int> OfferRestoreIfDamaged(bool& locked)
{
    locked = false;
    try {
        // A locked file is not waited for here: the window does that.
        const QuickAttempt quick;
        CheckCalendarFile();
        return std::nullopt;
    } catch (const EngineError& e) {
        locked = e.cause() == EngineError::Cause::InUse;
        if (!e.isNoCalendar())
            return std::nullopt;
        gDatabase.close();
        // The backup made last, whatever the times in the names say: a
        // clock that ran ahead once must not hide what was written today.
        const std::optional<BackupInfo> last = LastReadableBackup();
        if (!last)
            return offerNewCalendar(e);
        ShowWarning(StoreErrorText(e) + QLatin1Char('\r') +
                    QStringLiteral("バックアップは次のフォルダーにあります。\r") +
                    QDir::toNativeSeparators(BackupFolder()));
        if (AskYesNo(QStringLiteral("最新のバックアップ（%1）から復元しますか？")
                         .arg(frmRestore::MadeText(*last))) == Dialogs::No)
            return kStartupEnded;
        QString aside;
        try {
            aside = RestoreBackup(last->path);
        } catch (const EngineError& failure) {
            ShowWarning(QStringLiteral("バックアップから復元できませんでした。\r") +
                        StoreErrorText(failure));
            return kStartupEnded;
        }
        ShowInfo(
            QStringLiteral("バックアップから復元しました。開けなかった暦ファイルは、次のファイル"
                           "に残しました。\r") +
            QDir::toNativeSeparators(aside));
        return std::nullopt;
    }
}
