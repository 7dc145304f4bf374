#include "ui/InputBlocker.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QTimer>
#include <QWidget>

namespace {

// Text an input method commits is not among them: it was composed before
// (the program itself commits a composition when it saves the entry), and
// dropping it would lose it.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

InputBlocker::InputBlocker(QWidget* window) : QObject(window), mWindow(window)
{
    QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void InputBlocker::setEngaged(bool engaged)
{
    mEngaged = engaged;
    if (!engaged && mCloseHeld) {
        mCloseHeld = false;
        QTimer::singleShot(0, mWindow, &QWidget::close);
    }
}

bool InputBlocker::belongsToWindow(QObject* object) const
{
    // Up the owners to the window; another window on the way (a message box
    // owned by it) is not part of it, but its menus are.
    for (QObject* o = object; o; o = o->parent()) {
        if (o == mWindow)
            return true;
        if (o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            if (w->isWindow() && !qobject_cast<QMenu*>(w))
                return false;
        }
    }
    return false;
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!mEngaged)
        return false;
    if (event->type() == QEvent::Close && watched == mWindow) {
        mCloseHeld = true;
        event->ignore();
        return true;
    }
    if (isUserInput(event->type()) && belongsToWindow(watched)) {
        event->ignore();
        return true;
    }
    return false;
}
