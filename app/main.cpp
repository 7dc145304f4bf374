#include "app/Main.h"
#include "app/CommandLine.h"
#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (IsCommandLine(argc, argv))
        return RunCommandLine(argc, argv);
    QApplication app(argc, argv);
    InitApplication();
    if (const std::optional<int> ended = Main())
        return *ended;
    const int code = app.exec();
    delete MainWindow();
    return code;
}
