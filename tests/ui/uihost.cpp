// Runs the real program in a process of its own, for tests that run it as
// another user.
//
//   zedu_uihost <app folder> <menu item>...
//
// Starts the program on the calendar in <app folder> (today is 2026-12-07),
// runs each menu item in turn as a click on it would, answering Yes to every
// question and OK to every other box, and closes the window. Prints every box
// as "box <kind>|<text>", after each item "mark <item> <0|1>" for a check-mark
// item, and "done" at the end.

#include "app/Main.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/basMain.h"
#include "tests/support/HostDialogs.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitApplication();
    HostDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        return 2;
    setAppFolderForTesting(args[1]);
    Clock::setTodayForTesting(QDate(2026, 12, 7));
    if (Main())
        return 3;
    frmMain* window = MainWindow();
    for (const QString& name : args.mid(2)) {
        QAction* item = window->findChild<QAction*>(name);
        if (!item)
            return 4;
        item->trigger();
        if (item->isCheckable())
            std::printf("mark %s %d\n", name.toUtf8().constData(), item->isChecked() ? 1 : 0);
    }
    window->close();
    delete window;
    std::printf("done\n");
    return 0;
}
