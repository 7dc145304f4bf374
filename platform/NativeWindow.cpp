#include "platform/NativeWindow.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(ZEDU_HAVE_XLIB)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

void ClearNativeWindowTitle(QWidget* window)
{
    if (!window || !window->isWindow() || !window->testAttribute(Qt::WA_WState_Created))
        return;
#if defined(Q_OS_WIN)
    SetWindowTextW(reinterpret_cast<HWND>(window->winId()), L"");
#elif defined(ZEDU_HAVE_XLIB)
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    const auto id = static_cast<::Window>(window->winId());
    static const unsigned char nothing[] = "";
    XChangeProperty(display, id, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace, nothing, 0);
    XChangeProperty(display, id, XA_WM_NAME, XA_STRING, 8, PropModeReplace, nothing, 0);
    XFlush(display);
#endif
}
