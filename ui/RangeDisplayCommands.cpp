// The File menu's range and exit commands and the Display menu.

#include "ui/frmMain.h"

void frmMain::mnuExit_Click()
{
    // Everything ending involves belongs to closing the window.
    close();
}
