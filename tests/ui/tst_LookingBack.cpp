// 過去の同じ日 and 記録: the windows that look back, driven through the real
// main window.

#include "tests/support/CalendarFixture.h"
#include "tests/support/ModalBoxes.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/YearSquares.h"
#include "ui/frmOnThisDay.h"
#include "ui/frmStatistics.h"
#include "view/FlexGrid.h"
#include "view/ReadableColour.h"
#include "view/clsCalendar.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QString ofLength(int n)
{
    return QString(n, QChar(u'字'));
}

} // namespace

class tst_LookingBack : public MainWindowHarness
{
    Q_OBJECT

    frmOnThisDay* pastWindow() const { return window()->onThisDayWindow(); }
    QTreeWidget* pastList() const
    {
        return pastWindow()->findChild<QTreeWidget*>(QStringLiteral("lstPast"));
    }
    QString pastLabel(const char* name) const
    {
        return pastWindow()->findChild<QLabel*>(QLatin1String(name))->text();
    }
    // The rows as "date|years|line".
    QStringList pastRows() const
    {
        QStringList rows;
        for (int r = 0; r < pastList()->topLevelItemCount(); ++r) {
            const QTreeWidgetItem* item = pastList()->topLevelItem(r);
            rows << item->text(0) + u'|' + item->text(1) + u'|' + item->text(2);
        }
        return rows;
    }
    frmStatistics* statistics() const { return window()->statisticsWindow(); }
    QString figure(const char* name) const
    {
        return statistics()->findChild<QLabel*>(QLatin1String(name))->text();
    }
    YearSquares* squares() const
    {
        return statistics()->findChild<YearSquares*>(QStringLiteral("grdSquares"));
    }
    QRect entryBoxOnScreen() const
    {
        return QRect(entryBox()->mapToGlobal(QPoint(0, 0)), entryBox()->size());
    }
    // The keyboard is in the entry box of the day opened.
    void verifyOpened(int key)
    {
        QCOMPARE(curDate(), key);
        QVERIFY(menuItem("mnuDispMode_0")->isChecked());
        QVERIFY(!child<FlexGrid>("greList")->isVisible());
        QTRY_VERIFY(entryBox()->hasFocus());
    }

private slots:
    void onThisDayListsEarlierYearsAndOpensTheirDays()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202001, 203112));
        const QList<std::pair<int, QString>> entries = {
            {20251207, u"去年の今日\r\n二行目"_s}, {20241207, u" \r\n\u3000"_s},
            {20231207, u"\r\n三年前は雪"_s},       {20211207, u"五年前"_s},
            {20271207, u"来年のこと"_s},           {20261207, u"今日"_s}};
        for (const auto& [key, text] : entries)
            QVERIFY(WriteDayEntry(dataPath(), key, text));
        start();
        trigger("mnuDispMode_1");

        QTest::keyClick(child<FlexGrid>("greList"), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(pastWindow()->isVisible());
        QCOMPARE(pastWindow()->windowTitle(), u"過去の同じ日"_s);
        QCOMPARE(pastLabel("lblDay"), u"過去の12月7日"_s);
        // Newest first; a year whose day holds only white space is left out,
        // and the first line with writing on it is shown.
        QCOMPARE(pastRows(), (QStringList{u"2025/12/07(日)|1年前|去年の今日"_s,
                                          u"2023/12/07(木)|3年前|三年前は雪"_s,
                                          u"2021/12/07(火)|5年前|五年前"_s}));
        QCOMPARE(pastLabel("lblCount"), u"3年分"_s);
        QTRY_VERIFY(pastList()->hasFocus());

        // Return opens the day in the month grid display, the keyboard in
        // the entry box; the window follows to that day.
        QTest::keyClick(pastList(), Qt::Key_Down);
        QTest::keyClick(pastList(), Qt::Key_Return);
        verifyOpened(20231207);
        QCOMPARE(entryBox()->toPlainText(), u"\n三年前は雪"_s);
        QCOMPARE(pastRows(), (QStringList{u"2021/12/07(火)|2年前|五年前"_s}));

        // So does a double click.
        const QRect row = pastList()->visualItemRect(pastList()->topLevelItem(0));
        QTest::mouseClick(pastList()->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QTest::mouseDClick(pastList()->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        verifyOpened(20211207);
        QCOMPARE(pastRows(), QStringList());
        QCOMPARE(pastLabel("lblCount"), u"過去の同じ日に書いた予定はありません。"_s);
    }

    void onThisDayFollowsTheCurrentDay()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202001, 203112));
        const QList<std::pair<int, QString>> entries = {
            {20251208, u"八日"_s},     {20270228, u"二月末"_s}, {20240229, u"閏日"_s},
            {20240228, u"二十八日"_s}, {20230228, u"前の年"_s}, {20221208, ofLength(500)}};
        for (const auto& [key, text] : entries)
            QVERIFY(WriteDayEntry(dataPath(), key, text));
        start();
        trigger("mnuOnThisDay");
        QCOMPARE(pastRows(), QStringList());
        clickDay(8);
        QCOMPARE(pastLabel("lblDay"), u"過去の12月8日"_s);
        // A line longer than the column shows is cut where the column ends.
        const QString cut = pastList()->topLevelItem(1)->text(2);
        QCOMPARE(pastRows().mid(0, 1), (QStringList{u"2025/12/08(月)|1年前|八日"_s}));
        QVERIFY(cut.size() > 5 && cut.size() < 500);
        QVERIFY(ofLength(500).startsWith(cut));
        QCOMPARE(pastWindow()->pastDays()[1].firstLine, ofLength(500));
        pastList()->header()->resizeSection(2, pastList()->header()->sectionSize(2) * 2);
        QVERIFY(pastList()->topLevelItem(1)->text(2).size() > cut.size());

        // A 29 February: the 28th stands in for it in other years, and says
        // so.
        window()->calendar()->setCurDate(20280229);
        QCOMPARE(pastLabel("lblDay"), u"過去の2月29日（2月29日のない年は2月28日）"_s);
        QCOMPARE(pastRows(), (QStringList{u"2027/02/28(日)|1年前（29日なし）|二月末"_s,
                                          u"2024/02/29(木)|4年前|閏日"_s,
                                          u"2023/02/28(火)|5年前（29日なし）|前の年"_s}));
        // Closed, it follows nothing; opened again, it shows the day.
        QTest::keyClick(pastWindow(), Qt::Key_Escape);
        QVERIFY(!pastWindow()->isVisible());
        window()->calendar()->setCurDate(20281208);
        trigger("mnuOnThisDay");
        QCOMPARE(pastRows().mid(0, 1), (QStringList{u"2025/12/08(月)|3年前|八日"_s}));
    }

    // It opens beside the main window, never over its entry box, and keeps
    // its place and size.
    void onThisDayKeepsClearOfTheEntryBox()
    {
        start();
        trigger("mnuOnThisDay");
        QVERIFY(!pastWindow()->frameGeometry().intersects(entryBoxOnScreen()));
        QVERIFY(!pastWindow()->frameGeometry().intersects(window()->frameGeometry()));

        // Left over the entry box: opened again beside the main window.
        pastWindow()->move(entryBoxOnScreen().topLeft());
        QTest::keyClick(pastWindow(), Qt::Key_Escape);
        trigger("mnuOnThisDay");
        QVERIFY(!pastWindow()->frameGeometry().intersects(entryBoxOnScreen()));

        // Left elsewhere: there again, at its size, after a restart too.
        const QRect chosen(
            QPoint(window()->frameGeometry().right() - 40, window()->frameGeometry().bottom() + 20),
            QSize(300, 200));
        pastWindow()->setGeometry(chosen);
        const QRect placed = pastWindow()->geometry();
        QTest::keyClick(pastWindow(), Qt::Key_Escape);
        stop();
        start();
        trigger("mnuOnThisDay");
        QCOMPARE(pastWindow()->geometry(), placed);
    }

    void statisticsOfAYear_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light theme") << false;
        QTest::newRow("dark theme") << true;
    }

    void statisticsOfAYear()
    {
        QFETCH(bool, dark);
        QVERIFY(MakeCalendarFile(dataPath(), 202512, 203112));
        const QList<std::pair<int, QString>> entries = {
            {20261201, ofLength(10)}, {20261202, ofLength(20)},     {20261203, ofLength(40)},
            {20261204, ofLength(80)}, {20261205, u"\u3000 \r\n"_s}, {20261206, ofLength(5)},
            {20251231, ofLength(300)}};
        for (const auto& [key, text] : entries)
            QVERIFY(WriteDayEntry(dataPath(), key, text));
        start();
        window()->setQuietSaveDelay(50);
        trigger("mnuStatistics");
        QVERIFY(statistics()->isVisible());
        QCOMPARE(statistics()->windowTitle(), u"記録"_s);
        if (dark) {
            QPalette p = statistics()->palette();
            p.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
            p.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
            p.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
            p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
            p.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
            statistics()->setPalette(p);
        }
        auto* year = statistics()->findChild<QComboBox*>(QStringLiteral("cboYear"));
        QCOMPARE(year->currentText(), u"2026年"_s);
        QCOMPARE(year->count(), 7);

        QCOMPARE(figure("lblDaysWritten"), u"5日（365日のうち）"_s);
        QCOMPARE(figure("lblCharacters"), u"155文字"_s);
        QCOMPARE(figure("lblAverage"), u"31文字"_s);
        QCOMPARE(figure("lblLongestEntry"), u"2026/12/04(金)　80文字"_s);
        QCOMPARE(figure("lblLongestStreak"), u"4日（2026/12/01(火)～2026/12/04(金)）"_s);
        // Today (12/07) is not written yet: the streak ends with 12/06.
        QCOMPARE(figure("lblCurrentStreak"), u"1日"_s);
        auto* chart = statistics()->findChild<QChartView*>(QStringLiteral("chtMonths"))->chart();
        const auto* bars = qobject_cast<QBarSeries*>(chart->series().value(0));
        const auto* days = qobject_cast<QLineSeries*>(chart->series().value(1));
        QVERIFY(bars && days);
        QCOMPARE(bars->barSets().front()->at(11), 155.0);
        QCOMPARE(bars->barSets().front()->at(0), 0.0);
        QCOMPARE(days->at(11), QPointF(11, 5));

        // The squares: the more written, the stronger against the
        // background; equal steps alike; nothing written (white space only)
        // as a day without an entry.
        const QImage field = squares()->grab().toImage();
        const QColor base = squares()->palette().color(QPalette::Base);
        auto fill = [&](int key) {
            return field.pixelColor(squares()->squareRect(key).center());
        };
        auto strength = [&](int key) {
            return ContrastRatio(fill(key), base);
        };
        QCOMPARE(fill(20261205), fill(20261208));
        QCOMPARE(fill(20261206), fill(20261201));
        QVERIFY(strength(20261205) > 1.0);
        QVERIFY(strength(20261201) > strength(20261205));
        QVERIFY(strength(20261202) > strength(20261201));
        QVERIFY(strength(20261203) > strength(20261202));
        QVERIFY(strength(20261204) > strength(20261203));
        // Holidays (Saturdays and Sundays here) framed in a red that reads.
        const QColor red = squares()->holidayColour();
        QCOMPARE(field.pixel(squares()->squareRect(20261206).topLeft()), red.rgb());
        QCOMPARE(field.pixelColor(squares()->squareRect(20261204).topLeft()), fill(20261204));
        QVERIFY(ContrastRatio(red, base) >= 3.0);
        QCOMPARE(squares()->tipOf(20261206), u"2026/12/06(日)\n5文字"_s);
        QCOMPARE(squares()->tipOf(20260101), u"2026/01/01(木)　元日\n記録なし"_s);

        // A click on a square opens its day.
        QTest::mouseClick(squares(), Qt::LeftButton, Qt::NoModifier,
                          squares()->squareRect(20261203).center());
        verifyOpened(20261203);
        QCOMPARE(grid()->Text(), u"3"_s);

        // An entry saved while typing is counted.
        clickDay(7);
        typeEntry(u"今日も書いた"_s);
        QTRY_COMPARE(figure("lblDaysWritten"), u"6日（365日のうち）"_s);
        QCOMPARE(figure("lblCharacters"), u"161文字"_s);
        QCOMPARE(figure("lblCurrentStreak"), u"2日"_s);

        // Another year.
        year->setCurrentIndex(year->findData(2025));
        QCOMPARE(figure("lblDaysWritten"), u"1日（31日のうち）"_s);
        QCOMPARE(figure("lblLongestEntry"), u"2025/12/31(水)　300文字"_s);
    }

    void statisticsPictureIsSavedAsPng()
    {
        start();
        trigger("mnuStatistics");
        const QString path = folder->filePath(u"記録.png"_s);
        auto* save = statistics()->findChild<QPushButton*>(QStringLiteral("cmdSavePicture"));
        auto answer = [path](QWidget* box) {
            auto* dialog = qobject_cast<QFileDialog*>(box);
            QVERIFY(dialog);
            QCOMPARE(dialog->objectName(), u"dlgSavePicture"_s);
            // Typed, as a user would: the dialog's own folder may still be
            // loading.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept(); // the file dialog's own check runs
        };
        AnswerModalBoxes({answer});
        save->click();
        QImageReader picture(path);
        QCOMPARE(picture.format(), QByteArray("png"));
        QCOMPARE(picture.size(), statistics()->size() * statistics()->devicePixelRatio());

        // An existing file is replaced only when the question says so.
        const QByteArray before = FileDigest(path);
        statistics()->resize(statistics()->size() + QSize(40, 0));
        boxes->no();
        AnswerModalBoxes({answer});
        save->click();
        QCOMPARE(boxes->texts().last(),
                 u"「%1」は既にあります。\r置き換えますか？"_s.arg(QDir::toNativeSeparators(path)));
        QCOMPARE(FileDigest(path), before);

        // A folder that does not exist: said, and nothing written.
        boxes->ok();
        QVERIFY(!statistics()->savePicture(folder->filePath(u"no/such/x.png"_s)));
        QCOMPARE(boxes->texts().last().section(u'\r', 0, 0), u"画像を保存できませんでした。"_s);
    }
};

ZEDU_TEST_MAIN(tst_LookingBack)
#include "tst_LookingBack.moc"
