#include "tests/ui/MainWindowHarness.h"

#include "app/Main.h"
#include "entries/RecoveryFile.h"
#include "platform/Clock.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

QString MainWindowHarness::dataPath() const
{
    return folder->filePath(QStringLiteral("Data.vad"));
}

frmMain* MainWindowHarness::window() const
{
    return MainWindow();
}

FlexGrid* MainWindowHarness::grid() const
{
    return child<FlexGrid>("greDate");
}

QPlainTextEdit* MainWindowHarness::entryBox() const
{
    return child<QPlainTextEdit>("txtToday");
}

QString MainWindowHarness::caption() const
{
    return child<QLineEdit>("txtYm")->text();
}

QString MainWindowHarness::statusText() const
{
    return child<QLabel>("stbPanel1")->text();
}

QPushButton* MainWindowHarness::button(int index) const
{
    return child<QPushButton>(QStringLiteral("cmdYm_%1").arg(index).toLatin1().constData());
}

QAction* MainWindowHarness::menuItem(const char* name) const
{
    return child<QAction>(name);
}

int MainWindowHarness::curDate() const
{
    return window()->calendar()->CurDate();
}

void MainWindowHarness::start(int firstYm, int lastYm)
{
    if (!QFile::exists(dataPath()))
        QVERIFY(MakeCalendarFile(dataPath(), firstYm, lastYm));
    QCOMPARE(Main(), std::optional<int>());
    QVERIFY(window());
    QVERIFY(QTest::qWaitForWindowExposed(window()));
}

void MainWindowHarness::stop()
{
    if (frmMain* w = window()) {
        w->close();
        delete w;
    }
    ReleaseInstanceLock();
}

QPoint MainWindowHarness::cellOf(int day) const
{
    FlexGrid* g = grid();
    for (int r = 1; r < g->Rows(); ++r)
        for (int c = 0; c < g->Cols(); ++c)
            if (g->TextMatrix(r, c) == QString::number(day))
                return QPoint(c, r);
    return QPoint(-1, -1);
}

void MainWindowHarness::clickCell(int col, int row, Qt::MouseButton button)
{
    FlexGrid* g = grid();
    QTest::mouseClick(g->viewport(), button, Qt::NoModifier, g->cellRect(row, col).center());
}

void MainWindowHarness::clickDay(int day, Qt::MouseButton button)
{
    const QPoint cell = cellOf(day);
    QVERIFY2(cell.x() >= 0, "day not shown");
    clickCell(cell.x(), cell.y(), button);
}

void MainWindowHarness::doubleClickDay(int day)
{
    const QPoint cell = cellOf(day);
    QVERIFY2(cell.x() >= 0, "day not shown");
    // As the window system delivers it: a press and release, then the
    // double click.
    clickCell(cell.x(), cell.y());
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       grid()->cellRect(cell.y(), cell.x()).center());
}

void MainWindowHarness::dragDays(int fromDay, int toDay)
{
    const QPoint from = cellOf(fromDay);
    const QPoint to = cellOf(toDay);
    QVERIFY2(from.x() >= 0 && to.x() >= 0, "day not shown");
    QWidget* viewport = grid()->viewport();
    const QPoint start = grid()->cellRect(from.y(), from.x()).center();
    const QPoint end = grid()->cellRect(to.y(), to.x()).center();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
    for (int step = 1; step <= 4; ++step) {
        const QPoint at = start + (end - start) * step / 4;
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, end);
}

void MainWindowHarness::typeEntry(const QString& text)
{
    entryBox()->setFocus();
    typeInto(entryBox(), text);
}

void MainWindowHarness::typeInto(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else if (ch.unicode() < 0x80)
            QTest::keyClick(widget, char(ch.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void MainWindowHarness::trigger(const char* name)
{
    QAction* action = menuItem(name);
    QVERIFY2(action, name);
    QVERIFY2(action->isEnabled(), name);
    action->trigger();
}

void MainWindowHarness::init()
{
    folder = std::make_unique<QTemporaryDir>();
    setAppFolderForTesting(folder->path());
    Clock::setTodayForTesting(kToday);
    QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/voradu/zedu.conf"));
    boxes = std::make_unique<ScriptedDialogs>();
}

void MainWindowHarness::cleanup()
{
    stop();
    QCOMPARE(boxes->pending(), 0);
    boxes.reset();
    gDatabase.close();
    ForgetCalendarKeys();
    QDir(RecoveryFolder()).removeRecursively();
    folder.reset();
}
