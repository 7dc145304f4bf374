#include "platform/CoreDumps.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

void PreventCoreDumps()
{
#ifdef Q_OS_LINUX
    // A process that is not dumpable makes no dump at all, also where the
    // system hands dumps to a program (systemd-coredump, apport), which the
    // size limit below does not bind.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
#ifdef Q_OS_UNIX
    const rlimit none = {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
#endif
}
