// The File menu's export, import and print commands: each opens its window.

#include "entries/clsPlan.h"
#include "ui/frmExport.h"
#include "ui/frmImport.h"
#include "ui/frmMain.h"
#include "ui/frmPrint.h"
#include "view/clsCalendar.h"

void frmMain::mnuExport_Click()
{
    ShowExport({});
}

void frmMain::ShowExport(const QList<int>& days)
{
    guarded([&] {
        // What was typed goes out with the rest.
        plan()->Save();
        (new frmExport(this, days, this))->open();
    });
}

void frmMain::mnuImport_Click()
{
    guarded([this] {
        plan()->Save();
        auto* window = new frmImport(
            this, [this] { return BackupBeforeChange(); }, this);
        connect(window, &frmImport::imported, this, [this] {
            guarded([this] {
                mCalendar->Refresh();
                plan()->Load(mCalendar->CurDate());
                if (!mnuDispMode[0]->isChecked())
                    mnuDispMode_Click(mnuDispMode[1]->isChecked() ? 1 : 2);
            });
        });
        window->open();
    });
}

void frmMain::mnuPrint_Click()
{
    guarded([this] {
        plan()->Save();
        (new frmPrint(this, mCalendar->CurDate() / 100, this))->open();
    });
}
