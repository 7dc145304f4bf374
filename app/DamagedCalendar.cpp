#include "app/DamagedCalendar.h"

#include "app/Main.h"
#include "platform/Dialogs.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarCheck.h"
#include "store/FileSession.h"
#include "ui/frmMain.h"
#include "ui/frmRestore.h"

#include <QDir>

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
        const std::optional<BackupInfo> newest = NewestReadableBackup();
        const QString folder = QDir::toNativeSeparators(BackupFolder());
        ShowWarning(StoreErrorText(e) + QLatin1Char('\r') +
                    (newest ? QStringLiteral("バックアップは次のフォルダーにあります。\r")
                            : QStringLiteral("復元できるバックアップがありません。\r")) +
                    folder);
        if (!newest)
            return kStartupEnded;
        if (AskYesNo(QStringLiteral("最新のバックアップ（%1）から復元しますか？")
                         .arg(frmRestore::MadeText(*newest))) == Dialogs::No)
            return kStartupEnded;
        QString aside;
        try {
            aside = RestoreBackup(newest->path);
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
