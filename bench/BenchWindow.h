#pragma once

// Set-up shared by the benchmarks that drive the main window: a throw-away
// home, the offscreen platform unless another is asked for, and a calendar
// of 100 years (2000-2099, 36,525 days) with speed priority on.

#include "bench/YesDialogs.h"
#include "platform/Clock.h"
#include "platform/Globals.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

// The 100-year calendar in `folder`, open under speed priority; today is
// 15 June 2050. Questions must be answered Yes by the dialogs in place.
inline bool MakeHundredYears(const QTemporaryDir& folder)
{
    gDataPath = folder.filePath(QStringLiteral("Data.vad"));
    gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));
    gOpenFlag = true;
    Clock::setTodayForTesting(QDate(2050, 6, 15));
    if (!gMaster.Create()) {
        std::fprintf(stderr, "cannot create the calendar\n");
        return false;
    }
    gDatabase.open(gDataPath);
    if (!gMaster.Update(200001, 209912)) {
        std::fprintf(stderr, "cannot fill the calendar\n");
        return false;
    }
    return true;
}

// Everything a window benchmark runs in: HOME and the XDG folders in a
// throw-away folder (the window reads and writes its placement), the
// application, boxes answered Yes, and the 100-year calendar.
class WindowBench
{
public:
    WindowBench(int& argc, char** argv)
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            qputenv(name, QFile::encodeName(mHome.path() + QLatin1Char('/') + QLatin1String(name)));
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        mApp.emplace(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("voradu"));
        QCoreApplication::setApplicationName(QStringLiteral("zedu"));
        Dialogs::setProvider(&dialogs);
        mReady = MakeHundredYears(mCalendar);
    }
    WindowBench(const WindowBench&) = delete;
    WindowBench& operator=(const WindowBench&) = delete;

    bool ready() const { return mReady; }

    YesDialogs dialogs;

private:
    QTemporaryDir mHome;
    std::optional<QApplication> mApp;
    QTemporaryDir mCalendar;
    bool mReady = false;
};
