#pragma once

#include "tests/support/ScriptedDialogs.h"
#include "ui/frmMain.h"

#include <QDate>
#include <QObject>
#include <QPoint>
#include <QTemporaryDir>

#include <memory>

class QAction;
class QPlainTextEdit;
class QPushButton;
class FlexGrid;

// The base of the GUI tests: starts the real program as the desktop would,
// on a calendar in a temporary folder, with every box answered through the
// dialog seam, and drives the window through its named controls.
class MainWindowHarness : public QObject
{
    Q_OBJECT

protected:
    // The day the tests run on.
    static inline const QDate kToday = QDate(2026, 12, 7);

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<ScriptedDialogs> boxes;

    QString dataPath() const;
    frmMain* window() const;
    template <typename T> T* child(const char* name) const;
    FlexGrid* grid() const;
    QPlainTextEdit* entryBox() const;
    QString caption() const;
    QString statusText() const;
    QPushButton* button(int index) const;
    QAction* menuItem(const char* name) const;
    int curDate() const;

    // Starts the program on a calendar of the given months (made unless the
    // test made its own).
    void start(int firstYm = 202612, int lastYm = 203112);
    void stop();

    // The cell showing `day` in the month grid, as (column, row).
    QPoint cellOf(int day) const;
    void clickCell(int col, int row, Qt::MouseButton button = Qt::LeftButton);
    void clickDay(int day, Qt::MouseButton button = Qt::LeftButton);
    void doubleClickDay(int day);
    // Drags with the left button from the cell of one day to that of another.
    void dragDays(int fromDay, int toDay);
    // Types like a user, Japanese text included; "\n" is the Return key.
    void typeEntry(const QString& text);
    void typeInto(QWidget* widget, const QString& text);
    // Runs a menu item as a click on it would.
    void trigger(const char* name);

private slots:
    void init();
    void cleanup();
};

template <typename T> T* MainWindowHarness::child(const char* name) const
{
    return window() ? window()->findChild<T*>(QLatin1String(name)) : nullptr;
}
