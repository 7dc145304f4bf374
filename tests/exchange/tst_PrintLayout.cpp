// The printed pages as PDF: the text can be found and copied (pdftotext),
// every character drawn included, the fonts are embedded (pdffonts), months
// get a landscape page each with long entries cut with "…", and a day's
// heading never ends a page alone.

#include "exchange/PdfTextLayer.h"
#include "platform/Twips.h"
#include "tests/exchange/ExchangeFixture.h"
#include "tests/support/TestMain.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
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

    // Glyphs that Qt's PDF writer leaves out of the text layer on its own:
    // characters beyond the BMP and sequences a font draws as one glyph.
    // The text layer is read back as pdftotext finds it: composed (か゛ is
    // drawn and found as が), a mark drawn apart from the glyph before it
    // possibly elsewhere on the line; a variation selector that selects
    // nothing is not drawn and not found.
    void everyCharacterDrawnIsInTheTextLayer_data()
    {
        QTest::addColumn<bool>("monthly");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("found");
        const struct
        {
            const char* name;
            QString entry;
            QStringList found;
        } cases[] = {
            {"kanji of the BMP", u"漢字と一二三"_s, {u"漢字と一二三"_s}},
            {"beyond the BMP, Noto CJK", u"𠮷野家"_s, {u"𠮷野家"_s}},
            {"beyond the BMP, IPA", u"𩸽の開き"_s, {u"𩸽の開き"_s}},
            {"emoji with outlines", u"笑顔😀です"_s, {u"笑顔😀です"_s}},
            {"emoji in colour only", u"キリン🦒"_s, {u"キリン🦒"_s}},
            {"mark drawn as one glyph", u"セ\u309Aの音"_s, {u"セ\u309Aの音"_s}},
            {"marks composed", u"か\u3099とe\u0301"_s, {u"がとé"_s}},
            {"mark apart, beyond the BMP", u"𠮷\u3099の字"_s, {u"𠮷\u3099の字"_s}},
            {"two marks, one joined", u"セ\u309A\u0301の音"_s, {u"セ\u309A"_s, u"\u0301"_s}},
            {"ideographic variation selector", u"葛\U000E0100城"_s, {u"葛城"_s}},
            {"all in one line",
             u"𠮷と𩸽と😀とセ\u309Aと🦒"_s,
             {u"𠮷と𩸽と😀とセ\u309Aと🦒"_s}},
        };
        for (const bool monthly : {false, true})
            for (const auto& c : cases)
                QTest::addRow("%s, %s", c.name, monthly ? "monthly" : "daily")
                    << monthly << c.entry << c.found;
    }

    void everyCharacterDrawnIsInTheTextLayer()
    {
        QFETCH(bool, monthly);
        QFETCH(QString, entry);
        QFETCH(QStringList, found);
        QVERIFY(WriteDayEntry(gDataPath, 20261206, u"前の日の予定、𩸽 ＡＢＣ"_s));
        QVERIFY(WriteDayEntry(gDataPath, 20261207, entry));
        QVERIFY(WriteDayEntry(gDataPath, 20261208, u"後の日の予定"_s));
        ExportInfo info;
        info.print = {monthly ? PageLayout::Monthly : PageLayout::Daily, 10};
        const QString pdf = dir->filePath(u"out.pdf"_s);
        const ExportOutcome outcome =
            ExportCalendar(ExportFormat::Pdf, pdf, Months(202612, 202612, true), info);
        QCOMPARE(outcome.untold, QStringList());
        QCOMPARE(outcome.pages, pageCount(pdf));
        const QString text = pageText(pdf, 1).normalized(QString::NormalizationForm_C);
        for (const QString& expected :
             found + QStringList{u"前の日の予定、𩸽"_s, u"後の日の予定"_s})
            QVERIFY2(text.contains(expected.normalized(QString::NormalizationForm_C)),
                     qPrintable(expected + u" in:\n"_s + text));
    }

    // Only glyphs the writer leaves without a name make a text layer to
    // complete; a PDF of other entries is written as Qt writes it.
    void onlyGlyphsWithoutANameAreNamed_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("needed");
        QTest::addRow("kanji and kana") << u"漢字とかな、ｶﾅ"_s << false;
        QTest::addRow("marks composed") << u"か\u3099とe\u0301"_s << false;
        QTest::addRow("selector that selects nothing") << u"葛\U000E0100"_s << false;
        QTest::addRow("no font has it") << u"\U0010FFFD"_s << false;
        QTest::addRow("beyond the BMP") << u"𠮷"_s << true;
        QTest::addRow("colour emoji") << u"🦒"_s << true;
        QTest::addRow("mark drawn as one glyph") << u"セ\u309A"_s << true;
    }

    void onlyGlyphsWithoutANameAreNamed()
    {
        QFETCH(QString, entry);
        QFETCH(bool, needed);
        const PdfTextLayer layer({DayRow{20261207, 1, true, entry}}, JapaneseProportionalFont(10));
        QCOMPARE(layer.needed(), needed);
    }

    // Glyphs that are not where seeding put them (something was drawn in
    // their font before) leave that font's map as written, and their
    // characters are told; the other fonts are named, and the seeded page
    // is gone. A file that cannot be read leaves every character told.
    void charactersThatCannotBeNamedAreTold_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("untold");
        // 𩸽, セ゚ and と are drawn in the IPA font, 𠮷 in Noto Sans CJK.
        QTest::addRow("seeded first") << QString() << QStringList();
        QTest::addRow("IPA drawn before") << u"と𩸽"_s << QStringList{u"𩸽"_s, u"セ\u309A"_s};
    }

    void charactersThatCannotBeNamedAreTold()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, untold);
        const QFont font = JapaneseProportionalFont(10);
        const QString entry = u"𩸽と𠮷とセ\u309A"_s;
        PdfTextLayer layer({DayRow{20261207, 1, true, entry}}, font);
        QVERIFY(layer.needed());
        QBuffer pages;
        pages.open(QIODevice::WriteOnly);
        {
            QPdfWriter pdf(&pages);
            QPainter painter(&pdf);
            painter.setFont(font);
            painter.drawText(QPointF(100, 100), before);
            layer.seed(painter);
            pdf.newPage();
            painter.drawText(QPointF(100, 100), entry);
        }
        const std::optional<QByteArray> named = layer.complete(pages.data());
        QVERIFY(named.has_value());
        QCOMPARE(layer.untold(), untold);
        QFile file(dir->filePath(u"layer.pdf"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(*named);
        file.close();
        QCOMPARE(pageCount(file.fileName()), 1);
        const QString text = pageText(file.fileName(), 1);
        QVERIFY2(text.contains(u"𠮷"_s) && text.contains(u"と"_s), qPrintable(text));
        for (const QString& character : {u"𩸽"_s, u"セ\u309A"_s})
            QCOMPARE(text.contains(character), !untold.contains(character));

        QVERIFY(!layer.complete("%PDF-1.4 cut short").has_value());
        QCOMPARE(layer.untold(), (QStringList{u"𩸽"_s, u"𠮷"_s, u"セ\u309A"_s}));
        QCOMPARE(UntoldText(layer.untold()),
                 u"次の文字は印刷しましたが、検索やコピーはできません: 𩸽（U+29E3D）、"
                 u"𠮷（U+20BB7）、セ\u309A（U+30BB U+309A）"_s);
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
