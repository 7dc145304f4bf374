#include "app/Main.h"
#include "app/CommandLine.h"
#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Decided before any application object exists: the window's needs a
    // display, and Qt would take its own options (-platform, ...) away.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartRoute route = RouteArguments(arguments);
    if (!route.window)
        return RunCommandLine(argc, argv);
    QApplication app(argc, argv);
    InitApplication();
    if (const std::optional<int> ended = Main(route.calendar))
        return *ended;
    const int code = app.exec();
    delete MainWindow();
    return code;
}
