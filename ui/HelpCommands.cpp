// The Help menu: the version box.

#include "ui/frmAbout.h"
#include "ui/frmMain.h"

#include <QPushButton>

void frmMain::mnuAbout_Click()
{
    frmAbout* box = AboutBox();
    box->setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    box->cmdClose->setVisible(true);
    box->show();
    box->raise();
    box->activateWindow();
}
