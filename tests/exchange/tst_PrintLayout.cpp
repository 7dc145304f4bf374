// The printed pages as PDF: the text can be found and copied (pdftotext),
// the fonts are embedded (pdffonts), months get a landscape page each with
// long entries cut with "…", and a day's heading never ends a page alone.

#include "tests/exchange/ExchangeFixture.h"
#include "tests/support/TestMain.h"

#include <QProcess>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

class tst_PrintLayout : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    // The standard output of a poppler tool run on `pdf`.
    static QString poppler(const char* tool, const QStringList& arguments)
    {
        QProcess run;
        run.start(QLatin1String(tool), arguments);
        if (!run.waitForFinished(60000) || run.exitCode() != 0) {
            qWarning() << tool << run.errorString() << run.readAllStandardError();
            return QString();
        }
        return QString::fromUtf8(run.readAllStandardOutput());
    }
    static QString pageText(const QString& pdf, int page)
    {
        const QString n = QString::number(page);
        return poppler("pdftotext", {QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf,
                                     QStringLiteral("-")});
    }
    static int pageCount(const QString& pdf)
    {
        static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
        return pages.match(poppler("pdfinfo", {pdf})).captured(1).toInt();
    }

    QString exportPdf(PageLayout layout, const DaySelection& selection, double points = 10)
    {
        ExportInfo info;
        info.print = {layout, points};
        const QString pdf = dir->filePath(QStringLiteral("out.pdf"));
        const ExportOutcome outcome = ExportCalendar(ExportFormat::Pdf, pdf, selection, info);
        [&] {
            QCOMPARE(outcome.pages, pageCount(pdf));
        }();
        return pdf;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 202701));
    }

    void dailyPagesHoldTheTextWithEmbeddedFonts()
    {
        QVERIFY(WriteDayEntry(gDataPath, 20261207, QStringLiteral("営業会議\r\n見積書を提出")));
        QVERIFY(WriteDayEntry(gDataPath, 20270111, QStringLiteral("ﾊﾝｶｸ and ASCII")));
        const QString pdf = exportPdf(PageLayout::Daily, Months(202612, 202701, true));
        const QString text = pageText(pdf, 1);
        for (const char* expected : {"2026年12月7日（月）", "営業会議", "見積書を提出",
                                     "2027年1月11日（月）", "成人の日", "ﾊﾝｶｸ and ASCII"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

        const QStringList fonts = poppler("pdffonts", {pdf}).split(QLatin1Char('\n')).mid(2);
        QVERIFY(fonts.size() > 1);
        for (const QString& font : fonts) {
            if (font.isEmpty())
                continue;
            // name type encoding emb sub uni object ID
            const QStringList columns = font.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QVERIFY2(columns.size() >= 7 && columns[columns.size() - 5] == QLatin1String("yes") &&
                         columns[columns.size() - 3] == QLatin1String("yes"),
                     qPrintable(font));
        }
    }

    void charactersNoFontDrawsAreReported()
    {
        // 𠮷 lies outside the IPA fonts, the private-use character in no
        // font, the giraffe only in a colour bitmap font, which does not
        // print.
        QVERIFY(WriteDayEntry(gDataPath, 20261207,
                              u"𠮷野家\u3000\U0010FFFD と \U0001F992\r\n\U0010FFFD"_s));
        QVERIFY(WriteDayEntry(gDataPath, 20261208, u"普通の日"_s));
        ExportInfo info;
        info.print = {PageLayout::Daily, 10};
        const QString pdf = dir->filePath(u"out.pdf"_s);
        const ExportOutcome outcome =
            ExportCalendar(ExportFormat::Pdf, pdf, Months(202612, 202612, true), info);
        QCOMPARE(outcome.unprintable, u"\U0010FFFD\U0001F992"_s);
        QCOMPARE(
            UnprintableText(outcome.unprintable),
            u"次の文字は印刷できませんでした: \U0010FFFD（U+10FFFD）、\U0001F992（U+1F992）"_s);
        const QString text = pageText(pdf, 1);
        QVERIFY2(text.contains(u"野家"_s) && text.contains(u"普通の日"_s), qPrintable(text));
        // The font that draws 𠮷 is embedded with the others.
        QVERIFY(poppler("pdffonts", {pdf}).contains(u"NotoSansCJK"_s));
    }

    void headingNeverEndsAPageAlone_data()
    {
        QTest::addColumn<double>("points");
        for (const double points : {9.0, 11.0, 13.0, 15.0})
            QTest::addRow("%g pt", points) << points;
    }

    void headingNeverEndsAPageAlone()
    {
        QFETCH(double, points);
        // Entries of 1 to 11 lines fill pages unevenly, so that headings
        // come to the foot of pages in many positions.
        int days = 0;
        for (int key = 20261201; key <= 20270131; key = key == 20261231 ? 20270101 : key + 1) {
            QStringList lines;
            for (int l = 0; l <= (key * 5) % 11; ++l)
                lines << QStringLiteral("%1の%2行目").arg(key).arg(l + 1);
            QVERIFY(WriteDayEntry(gDataPath, key, lines.join(QStringLiteral("\r\n"))));
            ++days;
        }
        const QString pdf = exportPdf(PageLayout::Daily, Months(202612, 202701, true), points);
        const int pages = pageCount(pdf);
        static const QRegularExpression heading(QStringLiteral("^\\d{4}年\\d+月\\d+日（.）"));
        int headings = 0;
        for (int page = 1; page <= pages; ++page) {
            QStringList lines = pageText(pdf, page).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            lines.removeIf([](const QString& l) {
                return l.trimmed().isEmpty() || l.startsWith(QLatin1Char('\f'));
            });
            // The page number at the foot (pdftotext may drop the spaces).
            QCOMPARE(lines.last().remove(QLatin1Char(' ')), QStringLiteral("-%1-").arg(page));
            lines.removeLast();
            QVERIFY2(!heading.match(lines.last()).hasMatch(), qPrintable(lines.last()));
            for (const QString& line : lines)
                headings += heading.match(line).hasMatch() ? 1 : 0;
        }
        QCOMPARE(headings, days);
    }

    void monthlyPagesCutLongEntries()
    {
        QString long_;
        for (int i = 1; i <= 40; ++i)
            long_ += QStringLiteral("長い予定の%1行目\r\n").arg(i);
        QVERIFY(WriteDayEntry(gDataPath, 20261207, long_));
        QVERIFY(WriteDayEntry(gDataPath, 20261208, QStringLiteral("短い予定")));
        const QString pdf = exportPdf(PageLayout::Monthly, Months(202612, 202701, true));
        QCOMPARE(pageCount(pdf), 2);
        QVERIFY(poppler("pdfinfo", {pdf}).contains(QStringLiteral("842 x 595 pts (A4)")));
        const QString december = pageText(pdf, 1);
        QVERIFY(december.contains(QStringLiteral("2026年12月")));
        QVERIFY(december.contains(QStringLiteral("短い予定")));
        QVERIFY(december.contains(QStringLiteral("長い予定の1行目")));
        QVERIFY(!december.contains(QStringLiteral("長い予定の40行目")));
        QVERIFY(december.contains(QStringLiteral("…")));
        const QString january = pageText(pdf, 2);
        QVERIFY(january.contains(QStringLiteral("2027年1月")));
        QVERIFY(january.contains(QStringLiteral("元日")));
    }
};

ZEDU_TEST_MAIN(tst_PrintLayout)
#include "tst_PrintLayout.moc"
