#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

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

// Starts `viewer` on `arguments` (the desktop's opener on the manual) and
// returns at once; the viewer is not waited for. `failed` runs when it
// cannot be started, or, later, when it ends saying that it could not open
// the file (xdg-open does so when no program for the file is set up), as
// long as `context` is there.
void StartHelpViewer(const QString& viewer, const QStringList& arguments, QObject* context,
                     const std::function<void()>& failed);
