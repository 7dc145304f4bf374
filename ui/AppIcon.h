#pragma once

#include <QIcon>

// The program's icon, drawn from its SVG at the usual sizes.
QIcon AppIcon();
