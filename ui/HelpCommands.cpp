// The Help menu: the manual and the version box.

#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/basMain.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QDir>
#include <QPushButton>

#ifdef Q_OS_WIN
#include <QDesktopServices>
#include <QUrl>
#endif

namespace {
const QString kCannotOpenHelp = QStringLiteral("ヘルプが開けませんでした。");
}

void frmMain::mnuHelpCategory_Click()
{
    const QString manual = HelpFilePath();
    if (manual.isEmpty()) {
        ShowWarning(kCannotOpenHelp + QStringLiteral("\rヘルプのファイル（%1）が見つかりません。")
                                          .arg(QDir::toNativeSeparators(kHelpFile)));
        return;
    }
#ifdef Q_OS_WIN
    const bool started = QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
    if (!started)
        ShowWarning(kCannotOpenHelp);
#else
    // The desktop's own opener shows the manual in the user's browser; the
    // program does not wait for it, but hears when it found nothing to show
    // the manual with.
    if (gWindowsFolder.isEmpty()) {
        ShowWarning(kCannotOpenHelp);
        return;
    }
    StartHelpViewer(gWindowsFolder + QStringLiteral("xdg-open"), {QDir::toNativeSeparators(manual)},
                    this, [] { ShowWarning(kCannotOpenHelp); });
#endif
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
