#include "platform/Globals.h"

QString gWindowsFolder;
QString gDataPath;
bool gOpenFlag = true;
QStringList gWeekNames;
