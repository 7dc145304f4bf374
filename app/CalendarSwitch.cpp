#include "app/CalendarSwitch.h"

#include "app/Main.h"
#include "platform/CalendarPath.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>

#include <optional>

void OpenOtherCalendar(const QString& path)
{
    // Between the two windows only the start's boxes show: the last of them
    // closing must not end the program.
    const bool quitOnClose = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const auto restoreQuit =
        qScopeGuard([quitOnClose] { QGuiApplication::setQuitOnLastWindowClosed(quitOnClose); });

    const QString previous = gDataPath;
    std::optional<EnvelopeKeys> previousKeys;
    if (const EnvelopeKeys* held = HeldCalendarKeys())
        previousKeys = held->clone();

    if (frmMain* old = MainWindow()) {
        old->Form_Unload();
        delete old;
    }
    gDatabase.close();
    ForgetCalendarKeys();

    gDataPath = QFileInfo(path).absoluteFilePath();
    // Gone since it was chosen: nothing is made in its place.
    if (!QFileInfo(gDataPath).isFile())
        ShowWarning(QStringLiteral("暦ファイルが見つかりません。\r") +
                    QDir::toNativeSeparators(gDataPath));
    else if (!StartWindow()) {
        if (!RememberCalendarPath(gDataPath))
            ShowWarning(QStringLiteral("設定変更に失敗しました。次に起動したときは、今までの暦"
                                       "ファイルを開きます。"));
        return;
    }

    // The calendar in use before opened a moment ago: its window comes back
    // without the start's questions.
    gDatabase.close();
    ForgetCalendarKeys();
    if (previousKeys)
        HoldCalendarKeys(std::move(*previousKeys));
    gDataPath = previous;
    ShowMainWindow();
}
