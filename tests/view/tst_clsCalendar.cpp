#include "platform/Globals.h"
#include "platform/Running.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using Pair = std::pair<int, int>;

QList<Pair> pairs(const QSignalSpy& spy)
{
    QList<Pair> list;
    for (const QList<QVariant>& args : spy)
        list << Pair(args[0].toInt(), args[1].toInt());
    return list;
}

void setWorkday(const QString& path, int key, const QVariant& value)
{
    SqlPeek(path).exec(QStringLiteral("UPDATE Master SET 平日 = ? WHERE 日付 = ?"), {value, key});
}

} // namespace

class tst_clsCalendar : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FlexGrid> grid;
    std::unique_ptr<QLineEdit> caption;
    RecordingHost host;
    std::unique_ptr<clsCalendar> calendar;

    QPoint cellOf(int day) const
    {
        for (int r = 1; r < grid->Rows(); ++r)
            for (int c = 0; c < grid->Cols(); ++c)
                if (grid->TextMatrix(r, c) == QString::number(day))
                    return QPoint(c, r);
        return QPoint(-1, -1);
    }

private slots:
    void initTestCase()
    {
        gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 199901, 200112));
        grid = std::make_unique<FlexGrid>();
        grid->setRows(7);
        grid->setCols(7);
        grid->setFixedRows(1);
        grid->setFixedCols(0);
        caption = std::make_unique<QLineEdit>();
        calendar = std::make_unique<clsCalendar>(grid.get(), caption.get(), &host);
        host.messages.clear();
    }

    void cleanup()
    {
        calendar.reset();
        grid.reset();
        caption.reset();
        gDatabase.close();
        dir.reset();
    }

    void headerIsSetUpOnce()
    {
        QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("日"));
        QCOMPARE(grid->TextMatrix(0, 6), QStringLiteral("土"));
        QCOMPARE(grid->CellForeColorAt(0, 0), 255);
        QCOMPARE(grid->CellForeColorAt(0, 6), 16711680);
        QCOMPARE(grid->CellForeColorAt(0, 3), -1);
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(grid->ColAlignment(c), 5);
            QCOMPARE(qRound(grid->ColWidth(c) / 15.0), qRound(390 / 15.0));
        }
        QVERIFY(grid->Redraw());
        QCOMPARE(calendar->CurDate(), 0);
    }

    void fromTheCreationStateFourEvents()
    {
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        QStringList captions;
        connect(calendar.get(), &clsCalendar::Change, this, [&] {
            captions << caption->text() +
                            (grid->isHidden() ? QStringLiteral(" hidden") : QString());
        });
        calendar->setCurDate(19991215);
        QCOMPARE(
            pairs(spy),
            (QList<Pair>{
                {0, 19990000}, {19990000, 19991200}, {19991200, 19991215}, {19991200, 19991215}}));
        QCOMPARE(captions.first(), QStringLiteral("1999年0月 hidden"));
        QCOMPARE(caption->text(), QStringLiteral("1999年12月"));
        QVERIFY(!grid->isHidden());
        QCOMPARE(grid->Text(), QStringLiteral("15"));
    }

    void workedExample()
    {
        QVERIFY(MakeCalendarFile(dir->filePath(QStringLiteral("x")), 199901, 199901));
        calendar->setCurDate(19991215);
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        QStringList captions;
        connect(calendar.get(), &clsCalendar::Change, this, [&] { captions << caption->text(); });
        calendar->setCurDate(20000110);
        QCOMPARE(pairs(spy), (QList<Pair>{{19991215, 20001215},
                                          {20001215, 20000115},
                                          {20000115, 20000110},
                                          {20000115, 20000110}}));
        QCOMPARE(captions.first(), QStringLiteral("2000年12月"));
        QCOMPARE(captions[1], QStringLiteral("2000年1月"));
        QCOMPARE(grid->Text(), QStringLiteral("10"));
    }

    void sameDateAgainRaisesOneEventWithoutRebuilding()
    {
        calendar->setCurDate(19990715);
        host.messages.clear();
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        calendar->setCurDate(19990715);
        QCOMPARE(pairs(spy), (QList<Pair>{{19990715, 19990715}}));
        QVERIFY(host.messages.isEmpty());
        // Setting a component to its value does nothing at all.
        calendar->setCurMonth(7);
        calendar->setCurYear(1999);
        QCOMPARE(spy.size(), 1);
        QVERIFY(host.messages.isEmpty());
    }

    void moveMonthOverYearEnds()
    {
        calendar->setCurDate(19991215);
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        calendar->MoveMonth(1);
        QCOMPARE(pairs(spy), (QList<Pair>{{19991215, 20001215}, {20001215, 20000115}}));
        QCOMPARE(caption->text(), QStringLiteral("2000年1月"));
        spy.clear();
        calendar->MoveMonth(-1);
        QCOMPARE(pairs(spy), (QList<Pair>{{20000115, 19990115}, {19990115, 19991215}}));
        spy.clear();
        calendar->MoveMonth(-1);
        QCOMPARE(pairs(spy), (QList<Pair>{{19991215, 19991115}}));
    }

    void dayScanOnAnEmptyCell()
    {
        calendar->setCurDate(19990715);
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        // July 1999 starts on a Thursday: (1, 0) is empty.
        grid->setRedraw(false);
        grid->setRow(1);
        grid->setCol(0);
        grid->setRedraw(true);
        calendar->DayScan();
        QCOMPARE(pairs(spy), (QList<Pair>{{19990715, 19990700}}));
        QCOMPARE(grid->Row(), 1);
        QCOMPARE(grid->Col(), 0);
        // A day cell: the day becomes current.
        grid->setRow(3);
        grid->setCol(2);
        calendar->DayScan();
        QCOMPARE(calendar->CurDate(), 19990713);
    }

    void monthStartingOnSaturdayFillsSixRows()
    {
        calendar->setCurDate(20000701);
        QCOMPARE(cellOf(1), QPoint(6, 1));
        QCOMPARE(grid->TextMatrix(1, 5), QString());
        QCOMPARE(cellOf(2), QPoint(0, 2));
        QCOMPARE(cellOf(30), QPoint(0, 6));
        QCOMPARE(cellOf(31), QPoint(1, 6));
        QCOMPARE(grid->TextMatrix(6, 2), QString());
        // Saturdays and Sundays are red because they are stored as holidays.
        QCOMPARE(grid->CellForeColorAt(1, 6), 255);
        QCOMPARE(grid->CellForeColorAt(2, 1), -1);
    }

    void coloursComeFromTheStoredFlag()
    {
        setWorkday(gDataPath, 19990714, false);      // a Wednesday holiday
        setWorkday(gDataPath, 19990718, true);       // a Sunday workday
        setWorkday(gDataPath, 19990725, QVariant()); // a Sunday without flag
        calendar->setCurDate(19990701);
        const QPoint wednesday = cellOf(14);
        QCOMPARE(wednesday.x(), 3);
        QCOMPARE(grid->CellForeColorAt(wednesday.y(), wednesday.x()), 255);
        QCOMPARE(grid->CellForeColorAt(cellOf(18).y(), 0), -1);
        QCOMPARE(grid->CellForeColorAt(cellOf(25).y(), 0), -1);
        QCOMPARE(grid->CellForeColorAt(cellOf(11).y(), 0), 255);
        calendar->MoveMonth(1);
        calendar->Refresh();
        QCOMPARE(grid->CellForeColorAt(0, 0), 255);
        QCOMPARE(grid->CellForeColorAt(0, 6), 16711680);
        QCOMPARE(grid->CellForeColorAt(0, 2), -1);
    }

    void monthOutsideTheRange()
    {
        calendar->setCurDate(20011215);
        calendar->MoveMonth(1);
        QCOMPARE(caption->text(), QStringLiteral("2002年1月"));
        QVERIFY(grid->isHidden());
        calendar->setCurDate(19981215);
        QCOMPARE(caption->text(), QStringLiteral("1998年12月"));
        QVERIFY(grid->isHidden());
        // Before the range the grid is emptied, not just hidden.
        for (int r = 1; r < 7; ++r)
            for (int c = 0; c < 7; ++c)
                QCOMPARE(grid->TextMatrix(r, c), QString());
        calendar->setCurDate(19990101);
        QVERIFY(!grid->isHidden());
    }

    void failingRefreshLeavesNoBusyState_data() { AddSpeedPriorityRows(); }
    void failingRefreshLeavesNoBusyState()
    {
        QFETCH(bool, speed);
        gOpenFlag = speed;
        if (speed)
            gDatabase.open(gDataPath);
        calendar->setCurDate(19990715);
        QSignalSpy spy(calendar.get(), &clsCalendar::Change);
        gDatabase.close();
        QVERIFY(QFile::remove(gDataPath));
        host.messages.clear();
        QVERIFY_THROWS_EXCEPTION(EngineError, calendar->setCurMonth(8));
        QCOMPARE(spy.size(), 0);
        QCOMPARE(host.messages,
                 (QStringList{QStringLiteral("カレンダーを表示しています。"), QString()}));
        QVERIFY(grid->Redraw());
        QVERIFY(!QFile::exists(gDataPath));
        // The new month is stored even though the refresh failed.
        QCOMPARE(calendar->CurMonth(), 8);
    }

    void refreshUnderSpeedPriority()
    {
        gOpenFlag = true;
        gDatabase.open(gDataPath);
        calendar->setCurDate(19991224);
        QCOMPARE(grid->Text(), QStringLiteral("24"));
        QVERIFY(gDatabase.isOpen());
    }

    void marksFollowTheEntries()
    {
        QVERIFY(WriteDayEntry(gDataPath, 19991203, QStringLiteral("会議")));
        SqlPeek(gDataPath).exec(QStringLiteral("UPDATE Master SET 内容 = NULL WHERE 日付 = ?"),
                                {19991205});
        auto marked = [this] {
            QStringList days;
            for (int r = 1; r < grid->Rows(); ++r)
                for (int c = 0; c < grid->Cols(); ++c)
                    if (grid->CellMarkAt(r, c))
                        days << grid->TextMatrix(r, c);
            return days.join(QLatin1Char(' '));
        };
        calendar->setCurDate(19991215);
        QCOMPARE(marked(), QStringLiteral("3"));

        // Saved entries, in the month shown and in another.
        QVERIFY(gMaster.PlanSave(19991210, QStringLiteral("x")));
        QVERIFY(gMaster.PlanSave(19991203, QString()));
        QVERIFY(gMaster.PlanSave(20000110, QStringLiteral("y")));
        QCOMPARE(marked(), QStringLiteral("10"));
        // The yearly event gives its day an entry.
        gMaster.PlanInsert(12, 31, QStringLiteral("大晦日"));
        QCOMPARE(marked(), QStringLiteral("10 31"));
        // After a range change the month's marks are read again.
        QVERIFY(WriteDayEntry(gDataPath, 19991220, QStringLiteral("z")));
        QVERIFY(gMaster.Update(199912, 200112));
        QCOMPARE(marked(), QStringLiteral("10 20 31"));
        // A new month is drawn with its own.
        calendar->setCurDate(20000115);
        QCOMPARE(marked(), QStringLiteral("10"));
    }
};

ZEDU_TEST_MAIN(tst_clsCalendar)
#include "tst_clsCalendar.moc"
