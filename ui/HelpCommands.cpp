// The Help menu: the manual and the version box.

#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/basMain.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>

#ifdef Q_OS_WIN
#include <QDesktopServices>
#include <QUrl>
#endif

void frmMain::mnuHelpCategory_Click()
{
    const QString manual = HelpFilePath();
    if (manual.isEmpty()) {
        ShowWarning(QStringLiteral("ヘルプが開けませんでした。\r"
                                   "ヘルプのファイル（%1）が見つかりません。")
                        .arg(QDir::toNativeSeparators(kHelpFile)));
        return;
    }
#ifdef Q_OS_WIN
    const bool started = QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
#else
    // The desktop's own opener shows the manual in the user's browser; the
    // program does not wait for it.
    const bool started = !gWindowsFolder.isEmpty() &&
                         QProcess::startDetached(gWindowsFolder + QStringLiteral("xdg-open"),
                                                 {QDir::toNativeSeparators(manual)});
#endif
    if (!started)
        ShowWarning(QStringLiteral("ヘルプが開けませんでした。"));
}

void frmMain::mnuAbout_Click()
{
    frmAbout* box = AboutBox();
    box->setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    box->cmdClose->setVisible(true);
    box->show();
    box->raise();
    box->activateWindow();
}
