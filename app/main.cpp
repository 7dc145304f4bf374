#include "app/Main.h"
#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitApplication();
    if (const std::optional<int> ended = Main())
        return *ended;
    const int code = app.exec();
    delete MainWindow();
    return code;
}
