// Lines set by LineShaper are the lines QTextLayout sets for the same
// paragraph: the same breaks, the same glyphs in the same places, whether
// a paragraph is laid out whole or put together from runs set before.

#include "exchange/LineShaper.h"
#include "platform/Twips.h"
#include "tests/support/TestMain.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

// Each glyph of `runs` as "font size glyph@x,y", in the order drawn.
QStringList glyphsOf(const QList<QGlyphRun>& runs, const QPointF& origin)
{
    QStringList glyphs;
    for (const QGlyphRun& run : runs) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            const QPointF at = positions[i] - origin;
            glyphs << u"%1 %2 %3@%4,%5"_s.arg(run.rawFont().familyName())
                          .arg(run.rawFont().pixelSize())
                          .arg(indexes[i])
                          .arg(at.x(), 0, 'f', 4)
                          .arg(at.y(), 0, 'f', 4);
        }
    }
    return glyphs;
}

// The lines of `paragraph` as QTextLayout sets them: their text, then their
// glyphs.
QList<QStringList> expectedLines(const QString& paragraph, const QFont& font, qreal width)
{
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(width);
    layout.endLayout();
    QList<QStringList> lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        lines << (QStringList{paragraph.mid(line.textStart(), line.textLength())} +
                  glyphsOf(line.glyphRuns(), QPointF(line.x(), line.y() + line.ascent())));
    }
    return lines;
}

QList<QStringList> shapedLines(const QString& paragraph, LineShaper& shaper, qreal width)
{
    QList<QStringList> lines;
    for (const ShapedLine& line : shaper.wrap(paragraph, width))
        lines << (QStringList{paragraph.mid(line.start, line.length)} +
                  glyphsOf(line.runs, QPointF()));
    return lines;
}

} // namespace

class tst_LineShaper : public QObject
{
    Q_OBJECT

private slots:
    void linesAreQTextLayoutsLines_data()
    {
        QTest::addColumn<QString>("family"); // empty: the entries' own font
        QTest::addColumn<double>("ems");     // the line's width
        // Set in turn, each twice: the runs of the first ones make up the
        // later ones.
        QTest::addColumn<QStringList>("paragraphs");

        const QStringList kana = {u"今日は雨"_s, u"駅まで歩いた"_s, u"雨は今日まで歩いた"_s};
        QTest::newRow("kanji and kana") << QString() << 40.0 << kana;
        QTest::newRow("kanji and kana, a font with kerning")
            << u"Noto Sans CJK JP"_s << 40.0 << kana;
        QTest::newRow("punctuation and brackets")
            << QString() << 40.0
            << QStringList{u"会議は「資料」を見た。"_s, u"資料の会議"_s,
                           u"「会議」は資料を見た。"_s, u"資料を見た。会議は"_s};
        QTest::newRow("latin, kerning pairs and spaces")
            << u"Noto Sans CJK JP"_s << 40.0
            << QStringList{u"AVATAR 東京 Toffee"_s, u"Toffee東京 AVATAR "_s, u"  "_s};
        QTest::newRow("digits, full and half width")
            << QString() << 40.0
            << QStringList{u"2026年12月7日（月）ﾊﾝｶｸ"_s, u"ﾊﾝｶｸ2026年"_s, u"ＺＥＮ　ｶｸ"_s};
        QTest::newRow("beyond the BMP, marks and variation selectors")
            << QString() << 40.0
            << QStringList{u"か\u3099𠮷"_s, u"𠮷野家で"_s, u"か\u3099𠮷野家で"_s,
                           u"葛\U000E0100城で𩸽を"_s, u"𩸽を葛\U000E0100城で"_s};
        QTest::newRow("emoji") << QString() << 40.0
                               << QStringList{u"今日😀は🦒"_s, u"🦒今日😀は"_s};
        QTest::newRow("wider than the line")
            << QString() << 8.0
            << QStringList{u"今日は雨"_s, u"今日は雨今日は雨今日は雨"_s,
                           u"Averyveryverylongwordthatmustbreakanywhere"_s};
        QTest::newRow("at the line's end")
            << QString() << 4.0 << QStringList{u"今日は"_s, u"今日は雨"_s, u"今日は雨は"_s};
        QTest::newRow("tabs, right to left, separators")
            << QString() << 40.0
            << QStringList{u"Tab\there"_s, u"مرحبا and שלום 日本語"_s, u"日本語"_s, u"一\u2028二"_s,
                           u"a\u200Db"_s};
        QTest::newRow("empty") << QString() << 40.0 << QStringList{QString()};
    }

    void linesAreQTextLayoutsLines()
    {
        QFETCH(QString, family);
        QFETCH(double, ems);
        QFETCH(QStringList, paragraphs);

        // As the pages are painted: a PDF writer's device.
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setResolution(300);
        QFont font = JapaneseProportionalFont(10);
        if (!family.isEmpty())
            font.setFamilies({family});
        font = QFont(font, &pdf);
        const qreal width = ems * QFontMetricsF(font).height();

        LineShaper shaper(font);
        for (int pass = 0; pass < 2; ++pass) {
            for (const QString& paragraph : std::as_const(paragraphs)) {
                const QList<QStringList> expected = expectedLines(paragraph, font, width);
                QCOMPARE(shapedLines(paragraph, shaper, width), expected);
            }
        }
    }
};

ZEDU_TEST_MAIN(tst_LineShaper)
#include "tst_LineShaper.moc"
