#pragma once

#include <QObject>

class QWidget;

// Keeps the user's mouse and keyboard input away from one window while it is
// engaged, without disabling (and so greying) the window: clicks, keys,
// wheel turns and shortcuts aimed at the window, its controls, its menus or
// its actions are dropped. Other windows (the message boxes a command shows)
// are not affected. A request to close the window meanwhile is held back and
// carried out once the block ends.
class InputBlocker : public QObject
{
    Q_OBJECT

public:
    explicit InputBlocker(QWidget* window);
    ~InputBlocker() override;

    void setEngaged(bool engaged);
    bool isEngaged() const { return mEngaged; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool belongsToWindow(QObject* object) const;

    QWidget* mWindow;
    bool mEngaged = false;
    bool mCloseHeld = false;
};
