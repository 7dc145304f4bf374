#pragma once

#include <QString>
#include <QStringList>

// The program's manual: help/index.html beside the executable (the build
// tree, or a copy unpacked into one folder), else the installed copy in
// <prefix>/share/zedu/help.

// Path of the manual below the program's data folder.
inline const QString kHelpFile = QStringLiteral("help/index.html");

// Every place the manual is looked for, in order, for a program whose
// executable lies in `appFolder`: beside it, in the data folder of the same
// installation, then in the per-user and system data folders.
QStringList HelpFileCandidates(const QString& appFolder);

// True for an installed program: the data folder of its own installation
// (<prefix>/share/zedu beside <prefix>/bin) holds the manual.
bool IsInstalledProgram(const QString& appFolder);

// The first of HelpFileCandidates(GetAppFolder()) that exists; "" when the
// manual is nowhere.
QString HelpFilePath();
