#include "entries/clsList.h"
#include "platform/Globals.h"
#include "platform/Twips.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestMain.h"
#include "view/FlexGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTemporaryDir>

#include <cmath>

class tst_clsList : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<FlexGrid> grid;
    RecordingHost host;
    std::unique_ptr<clsList> list;

    int lineHeight() const
    {
        return int(std::lround(PixelsToTwipsY(QFontMetrics(grid->font()).height())));
    }

    int rowOf(int key) const
    {
        for (int r = 1; r < grid->Rows(); ++r)
            if (grid->TextMatrix(r, 0).startsWith(FormatKey(key)))
                return r;
        return -1;
    }

    static QString FormatKey(int key)
    {
        return QStringLiteral("%1/%2/%3")
            .arg(key / 10000)
            .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
            .arg(key % 100, 2, 10, QLatin1Char('0'));
    }

private slots:
    void initTestCase()
    {
        gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));
    }

    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        gDataPath = folder->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 199907, 199911));
        grid = std::make_unique<FlexGrid>();
        grid->setRows(2);
        grid->setCols(2);
        grid->setFixedRows(1);
        grid->setFixedCols(0);
        grid->setWordWrap(true);
        grid->resize(TwipsToPixelsX(8235), TwipsToPixelsY(2835));
        list = std::make_unique<clsList>(grid.get(), &host);
        host.messages.clear();
    }

    void cleanup()
    {
        list.reset();
        grid.reset();
        gDatabase.close();
        folder.reset();
    }

    void setUpGivesTwoHeadedColumns()
    {
        QCOMPARE(grid->TextMatrix(0, 0), QStringLiteral("日付"));
        QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("予定"));
        QCOMPARE(grid->ColAlignment(0), 1);
        QCOMPARE(grid->ColAlignment(1), 1);
        QCOMPARE(qRound(grid->ColWidth(0) / 15.0), qRound(1680 / 15.0));
        grid->resize(TwipsToPixelsX(9000), grid->height());
        list->Resize();
        QVERIFY(std::abs(grid->ColWidth(1) - (9000 - 1680 - 480)) < 30);
        // Never opened: closing keeps the caller's day.
        list->DateIndex = 0;
        QVERIFY(!list->CloseList());
        QCOMPARE(list->DateIndex, 0);
    }

    void rowsShowDateAndEntry()
    {
        QVERIFY(WriteDayEntry(gDataPath, 19990715, QStringLiteral("一行目\r\n二行目\r\n")));
        QVERIFY(WriteDayEntry(gDataPath, 19990716, QStringLiteral("一\r\n二\r\n\r\n")));
        QVERIFY(WriteDayEntry(gDataPath, 19990717, QStringLiteral("土曜日")));
        list->DateIndex = 19990716;
        list->OpenList(DayList::AllDays);
        QCOMPARE(host.messages,
                 QStringList({QStringLiteral("予定一覧を読み込んでいます。"), QString()}));
        QCOMPARE(grid->Rows(), 1 + 153);
        QVERIFY(grid->Visible());
        QVERIFY(grid->Redraw());

        const int r = rowOf(19990715);
        QCOMPARE(grid->TextMatrix(r, 0), QStringLiteral("1999/07/15(木)"));
        QCOMPARE(grid->TextMatrix(r, 1), QStringLiteral("一行目\r\n二行目"));
        // Shown over its lines, as high as they are plus a margin.
        QCOMPARE(grid->model()->index(r - 1, 1).data().toString(),
                 QStringLiteral("一行目\n二行目"));
        const int line = lineHeight();
        auto near = [](double twips, int wanted) {
            return std::abs(twips - wanted) <= 15;
        };
        QVERIFY(near(grid->RowHeight(r), 2 * line + 60));
        QCOMPARE(grid->TextMatrix(r + 1, 1), QStringLiteral("一\r\n二\r\n"));
        QVERIFY(near(grid->RowHeight(r + 1), 3 * line + 60));
        QVERIFY(near(grid->RowHeight(r + 3), line + 60));
        QCOMPARE(grid->TextMatrix(r + 3, 1), QString());

        // Holidays: the date in red, the entry in the default colour.
        QCOMPARE(grid->TextMatrix(r + 2, 0), QStringLiteral("1999/07/17(土)"));
        QCOMPARE(grid->CellForeColorAt(r + 2, 0), 255);
        QCOMPARE(grid->CellForeColorAt(r + 2, 1), -1);
        QCOMPARE(grid->CellForeColorAt(r, 0), -1);

        // The current day's row is on top and current; closing hands it back.
        QCOMPARE(grid->Row(), r + 1);
        QCOMPARE(grid->TopRow(), r + 1);
        grid->setRow(r + 4);
        QVERIFY(list->CloseList());
        QCOMPARE(list->DateIndex, 19990719);
        QVERIFY(!grid->Visible());
        QVERIFY(!gDatabase.isOpen());
    }

    void onlyDaysWithEntries()
    {
        QVERIFY(WriteDayEntry(gDataPath, 19990801, QStringLiteral("a")));
        QVERIFY(WriteDayEntry(gDataPath, 19991130, QStringLiteral("b")));
        QVERIFY(SqlPeek(gDataPath).exec(
            QStringLiteral("UPDATE Master SET 内容 = NULL WHERE 日付 = 19990802")));
        // A day that is not listed selects the next listed day.
        list->DateIndex = 19990901;
        list->OpenList(DayList::DaysWithEntries);
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(grid->TextMatrix(1, 0), QStringLiteral("1999/08/01(日)"));
        QCOMPARE(grid->TextMatrix(2, 0), QStringLiteral("1999/11/30(火)"));
        QCOMPARE(grid->Row(), 2);

        // Nothing to list: the header alone, no busy state left.
        QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral("UPDATE Master SET 内容 = ''")));
        host.messages.clear();
        list->OpenList(DayList::DaysWithEntries);
        QCOMPARE(grid->Rows(), 1);
        QCOMPARE(host.messages.last(), QString());
        list->DateIndex = 19990901;
        QVERIFY(!list->CloseList());
        QCOMPARE(list->DateIndex, 19990901);
    }
};

ZEDU_TEST_MAIN(tst_clsList)
#include "tst_clsList.moc"
