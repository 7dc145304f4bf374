#include "app/Main.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitApplication();
    if (const std::optional<int> ended = Main())
        return *ended;
    return app.exec();
}
