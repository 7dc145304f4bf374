// Runs store operations in a process of its own, for tests that kill it in
// the middle of a write or run it as another user.
//
//   zedu_storehost create <calendar>      first-run creation, answering Yes twice
//   zedu_storehost stop <calendar> <phase> <top> <bottom>
//                                         one range change that prints "phase <n>"
//                                         when it reaches phase n and waits there
//                                         to be killed
//
// Every box is printed as "box <kind>|<text>"; "done <result>" at the end.

#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/HostDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <thread>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    HostDialogs dialogs;
    Dialogs::setProvider(&dialogs);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    gDataPath = QFileInfo(args[2]).absoluteFilePath();
    gOpenFlag = false;
    if (args[1] == QLatin1String("create")) {
        const bool ok = gMaster.Create();
        std::printf("done %d\n", ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    if (args[1] == QLatin1String("stop") && args.size() == 6) {
        const int stopAt = args[3].toInt();
        gMaster.setUpdatePhaseHookForTesting([stopAt](clsMaster::UpdatePhase phase) {
            if (int(phase) != stopAt)
                return;
            std::printf("phase %d\n", stopAt);
            std::fflush(stdout);
            for (;;)
                std::this_thread::sleep_for(std::chrono::seconds(1));
        });
        const bool ok = gMaster.Update(args[4].toInt(), args[5].toInt());
        std::printf("done %d\n", ok ? 1 : 0);
        return ok ? 0 : 1;
    }
    return 2;
}
