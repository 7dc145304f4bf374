#pragma once

class QWidget;

// Gives a shown top-level window an empty caption as the window system has
// it. Qt puts the application's name into an empty window title; a window
// that must show no caption at all calls this after it is shown.
void ClearNativeWindowTitle(QWidget* window);
