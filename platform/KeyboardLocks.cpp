#include "platform/KeyboardLocks.h"

#include <QGuiApplication>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(ZEDU_HAVE_XLIB)
#include <X11/XKBlib.h>
#endif

#if defined(ZEDU_HAVE_XLIB)
namespace {

// The state of the keyboard indicator (the LED) of that name; false when the
// keyboard has none.
bool indicator(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
}

} // namespace
#endif

KeyboardLocks ReadKeyboardLocks()
{
    KeyboardLocks locks;
#if defined(Q_OS_WIN)
    locks.caps = GetKeyState(VK_CAPITAL) & 1;
    locks.num = GetKeyState(VK_NUMLOCK) & 1;
    locks.scroll = GetKeyState(VK_SCROLL) & 1;
    locks.kana = GetKeyState(VK_KANA) & 1;
#elif defined(ZEDU_HAVE_XLIB)
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return locks;
    locks.caps = indicator(display, "Caps Lock");
    locks.num = indicator(display, "Num Lock");
    locks.scroll = indicator(display, "Scroll Lock");
    locks.kana = indicator(display, "Kana");
#endif
    return locks;
}
