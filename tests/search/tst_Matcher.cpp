#include "search/FoldedText.h"
#include "search/Matcher.h"
#include "search/SearchQuery.h"
#include "search/Snippet.h"
#include "tests/search/CaseFoldingOracle.h"
#include "tests/support/TestMain.h"

#include <QRandomGenerator>

namespace {

// Hits as the original characters they cover, with their positions:
// "ｶﾞｯｺｳ@4 東京@10".
QString shown(const QString& text, const QList<Hit>& hits)
{
    QStringList parts;
    for (const Hit& hit : hits)
        parts << text.mid(hit.start, hit.length) + QLatin1Char('@') + QString::number(hit.start);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class tst_Matcher : public QObject
{
    Q_OBJECT

private slots:
    void terms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("terms");
        QTest::newRow("one") << QStringLiteral("東京") << QStringList{QStringLiteral("東京")};
        QTest::newRow("half-width space")
            << QStringLiteral("東京 ラーメン")
            << QStringList{QStringLiteral("東京"), QStringLiteral("ラーメン")};
        QTest::newRow("full-width space and runs of spaces")
            << QStringLiteral("　東京　　ラーメン ")
            << QStringList{QStringLiteral("東京"), QStringLiteral("ラーメン")};
        QTest::newRow("quotes keep spaces")
            << QStringLiteral("\"東京 タワー\" 夜景")
            << QStringList{QStringLiteral("東京 タワー"), QStringLiteral("夜景")};
        QTest::newRow("full-width and curly quotes")
            << QStringLiteral("＂a　b＂ “c d”")
            << QStringList{QStringLiteral("a　b"), QStringLiteral("c d")};
        QTest::newRow("quote inside a word")
            << QStringLiteral("ab\"c d\"e") << QStringList{QStringLiteral("abc de")};
        QTest::newRow("unclosed quote runs to the end")
            << QStringLiteral("\"a b") << QStringList{QStringLiteral("a b")};
        QTest::newRow("empty quotes are no term")
            << QStringLiteral("\"\" a") << QStringList{QStringLiteral("a")};
        QTest::newRow("empty") << QString() << QStringList{};
        QTest::newRow("blank") << QStringLiteral(" 　 ") << QStringList{};
    }
    void terms()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, terms);
        const SearchQuery query(text, true);
        QCOMPARE(query.terms(), terms);
        QCOMPARE(query.isEmpty(), terms.isEmpty());
    }

    void hits_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("foldKana");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        // Substrings: any part of an unspaced sentence, one character too.
        QTest::newRow("one character")
            << QStringLiteral("雨") << false << QStringLiteral("今日は雨のち晴れ、夜も雨")
            << QStringLiteral("雨@3 雨@11");
        QTest::newRow("word ending in kana")
            << QStringLiteral("ラーメン") << false << QStringLiteral("昼はラーメンを食べた")
            << QStringLiteral("ラーメン@2");
        QTest::newRow("verb stem")
            << QStringLiteral("食べ") << false << QStringLiteral("昼はラーメンを食べた")
            << QStringLiteral("食べ@7");
        QTest::newRow("occurrences of a term do not overlap")
            << QStringLiteral("ああ") << false << QStringLiteral("あああいああ")
            << QStringLiteral("ああ@0 ああ@4");
        QTest::newRow("not there")
            << QStringLiteral("雪") << false << QStringLiteral("今日は雨") << QString();

        // Widths and cases, both ways.
        QTest::newRow("half-width katakana query")
            << QStringLiteral("ｶﾗｵｹ") << false << QStringLiteral("友達とカラオケ")
            << QStringLiteral("カラオケ@3");
        QTest::newRow("half-width katakana text")
            << QStringLiteral("カラオケ") << false << QStringLiteral("友達とｶﾗｵｹへ")
            << QStringLiteral("ｶﾗｵｹ@3");
        QTest::newRow("full-width letters query")
            << QStringLiteral("ＡＢＣ") << false << QStringLiteral("abc社")
            << QStringLiteral("abc@0");
        QTest::newRow("full-width letters text")
            << QStringLiteral("abc") << false << QStringLiteral("ＡＢＣ社")
            << QStringLiteral("ＡＢＣ@0");
        QTest::newRow("letter case")
            << QStringLiteral("tokyo") << false << QStringLiteral("TOKYO と Tokyo")
            << QStringLiteral("TOKYO@0 Tokyo@8");
        QTest::newRow("full-width digits") << QStringLiteral("２０２６") << false
                                           << QStringLiteral("2026年") << QStringLiteral("2026@0");
        QTest::newRow("compatibility character")
            << QStringLiteral("(株)") << false << QStringLiteral("㈱山田")
            << QStringLiteral("㈱@0");

        // Pieces whose length changes: the hit covers the original characters.
        QTest::newRow("half-width voiced kana")
            << QStringLiteral("ガッコウ") << false << QStringLiteral("ﾊﾞｽでｶﾞｯｺｳへ")
            << QStringLiteral("ｶﾞｯｺｳ@4");
        QTest::newRow("after a half-width voiced kana")
            << QStringLiteral("へ") << false << QStringLiteral("ﾊﾞｽでｶﾞｯｺｳへ")
            << QStringLiteral("へ@9");
        QTest::newRow("voiced kana is not the plain one")
            << QStringLiteral("ハ") << false << QStringLiteral("ﾊﾞｽ") << QString();
        QTest::newRow("combining mark")
            << QStringLiteral("café") << false << QStringLiteral("Cafe\u0301で")
            << QStringLiteral("Cafe\u0301@0");
        QTest::newRow("decomposed kana")
            << QStringLiteral("が") << false << QStringLiteral("か\u3099っこう")
            << QStringLiteral("か\u3099@0");
        QTest::newRow("beside a character beyond the plane")
            << QStringLiteral("東京") << false << QStringLiteral("晴れ😀東京")
            << QStringLiteral("東京@4");
        QTest::newRow("letters folded longer")
            << QStringLiteral("STRASSE") << false << QStringLiteral("die Straße")
            << QStringLiteral("Straße@4");
        // A sound mark that the character before it cannot take any more is
        // no part of the term: only the term's own characters are covered.
        QTest::newRow("stray mark after a voiced kana")
            << QStringLiteral("ガ") << false << QStringLiteral("ｶﾞﾞｯｺｳ") << QStringLiteral("ｶﾞ@0");
        QTest::newRow("stray marks after a semi-voiced kana")
            << QStringLiteral("パ") << false << QStringLiteral("ﾊﾟﾟﾞ") << QStringLiteral("ﾊﾟ@0");
        QTest::newRow("stray mark after a decomposed kana")
            << QStringLiteral("が") << false << QStringLiteral("か\u3099ﾞ")
            << QStringLiteral("か\u3099@0");
        QTest::newRow("stray mark after a letter folded longer")
            << QStringLiteral("ss") << false << QStringLiteral("ßﾞ") << QStringLiteral("ß@0");

        // Hiragana and katakana.
        QTest::newRow("hiragana finds katakana")
            << QStringLiteral("らーめん") << true << QStringLiteral("ラーメン屋")
            << QStringLiteral("ラーメン@0");
        QTest::newRow("katakana finds hiragana")
            << QStringLiteral("ラーメン") << true << QStringLiteral("らーめん屋")
            << QStringLiteral("らーめん@0");
        QTest::newRow("hiragana finds half-width katakana")
            << QStringLiteral("からおけ") << true << QStringLiteral("ｶﾗｵｹ")
            << QStringLiteral("ｶﾗｵｹ@0");
        QTest::newRow("kana told apart")
            << QStringLiteral("らーめん") << false << QStringLiteral("ラーメン屋") << QString();

        // Several terms: all of them, in any order, every hit of each.
        QTest::newRow("two terms in any order") << QStringLiteral("東京 ラーメン") << false
                                                << QStringLiteral("ラーメンを東京で、また東京で")
                                                << QStringLiteral("ラーメン@0 東京@5 東京@11");
        QTest::newRow("full-width space between terms")
            << QStringLiteral("東京　ラーメン") << false << QStringLiteral("東京ラーメン")
            << QStringLiteral("東京@0 ラーメン@2");
        QTest::newRow("one term missing") << QStringLiteral("東京 ラーメン") << false
                                          << QStringLiteral("東京で寿司") << QString();
        QTest::newRow("overlapping terms")
            << QStringLiteral("東京 京都") << false << QStringLiteral("東京都")
            << QStringLiteral("東京@0 京都@1");
        QTest::newRow("quoted term with its space")
            << QStringLiteral("\"東京 タワー\"") << false
            << QStringLiteral("東京タワーと東京 タワー") << QStringLiteral("東京 タワー@6");

        // Nothing to look for.
        QTest::newRow("empty query") << QString() << true << QStringLiteral("何でも") << QString();
        QTest::newRow("blank query")
            << QStringLiteral("　 ") << true << QStringLiteral("何 でも") << QString();
    }
    void hits()
    {
        QFETCH(QString, query);
        QFETCH(bool, foldKana);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(shown(text, FindHits(SearchQuery(query, foldKana), text)), expected);
    }

    void foldingPieceByPieceIsFoldingTheWhole()
    {
        // Characters that compose, reorder, widen, split or fold into
        // several, strung at random (the same every run): folding piece by
        // piece must give the form of the whole text as the Unicode data
        // file folds it, and cover all of it.
        const CaseFoldingOracle oracle;
        QVERIFY2(!oracle.mappings().isEmpty(), qPrintable(kCaseFoldingFile));
        const QList<char32_t> pool = {
            u'ｶ',    u'ﾞ',    u'ﾟ',   u'ﾊ',   u'か',  0x3099, 0x309A, u'e',   0x0301, 0x0323,
            0x0308,  u'A',    u'Ａ',  u'ß',   0x1E9E, 0x0130, u'I',   0x0307, u'J',   0x030C,
            0x01F0,  0x0390,  0x0345, 0x03A3, 0x03C2, 0xFB03, 0x0149, 0xAB70, 0x1E96, 0x10400,
            u'㈱',   u'①',    0x1100, 0x1161, 0x11A8, 0xAC00, 0x0BC6, 0x0BBE, 0x0B47, 0x0B3E,
            0x1F600, 0x1D400, u'\r',  u'\n',  u'ア',  u'ー',  0xFF9E};
        QRandomGenerator random(19);
        for (int round = 0; round < 5000; ++round) {
            QList<char32_t> points;
            for (int i = random.bounded(12); i >= 0; --i)
                points << pool.at(random.bounded(int(pool.size())));
            const QString text = QString::fromUcs4(points.constData(), points.size());
            const FoldedText folded(text);
            QCOMPARE(folded.text(false), oracle.fold(text));
            QCOMPARE(folded.text(true).size(), folded.text(false).size());
            const auto whole = folded.originalSpan(0, int(folded.text(false).size()));
            QCOMPARE(whole, std::make_pair(0, int(text.size())));
        }
    }

    void fiveMegabyteEntry()
    {
        // A half-width voiced kana at the start shifts every later folded
        // position by one; the hits still name the original ones.
        const QString line = QStringLiteral("今日も日記を書いた。ABC\r\n");
        QString text = QStringLiteral("ﾊﾞｽ");
        while (text.size() < 5 * 1024 * 1024 / 2)
            text += line;
        const int middle = int(text.size());
        text += QStringLiteral("ｶﾞｯｺｳ");
        while (text.size() < 5 * 1024 * 1024)
            text += line;
        const int last = int(text.size());
        text += QStringLiteral("がっこう");

        const QList<Hit> hits = FindHits(SearchQuery(QStringLiteral("ガッコウ"), true), text);
        QCOMPARE(shown(text, hits), QStringLiteral("ｶﾞｯｺｳ@%1 がっこう@%2").arg(middle).arg(last));
        const QList<Hit> abc = FindHits(SearchQuery(QStringLiteral("abc"), true), text);
        QCOMPARE(abc.size(), text.count(QStringLiteral("ABC")));
        QCOMPARE(text.mid(abc.back().start, abc.back().length), QStringLiteral("ABC"));
    }

    void snippet_data()
    {
        // Widths in characters: the column holds `width` of them.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected"); // the snippet with its hits as [..]
        QTest::newRow("the line of the first hit")
            << QStringLiteral("朝は雨\r\n昼は東京で雨宿り\r\n夜は雨") << QStringLiteral("東京")
            << 160 << QStringLiteral("昼は[東京]で雨宿り");
        QTest::newRow("every hit in that line")
            << QStringLiteral("雨\r\n雨のち雨") << QStringLiteral("雨") << 160
            << QStringLiteral("[雨]");
        QTest::newRow("a later term on the same line")
            << QStringLiteral("1行目\n東京のラーメン\rラーメン") << QStringLiteral("ラーメン 東京")
            << 160 << QStringLiteral("[東京]の[ラーメン]");
        QTest::newRow("tabs") << QStringLiteral("a\tb") << QStringLiteral("b") << 160
                              << QStringLiteral("a [b]");
        QTest::newRow("a long line cut around the hit")
            << QStringLiteral("0123456789東京0123456789") << QStringLiteral("東京") << 8
            << QStringLiteral("…89[東京]01…");
        QTest::newRow("a long line cut at its end")
            << QStringLiteral("0123456789東京") << QStringLiteral("東京") << 8
            << QStringLiteral("…56789[東京]");
        QTest::newRow("a hit wider than the column")
            << QStringLiteral("abc東京タワーdef") << QStringLiteral("東京タワー") << 4
            << QStringLiteral("…[東京タワー]…");
        QTest::newRow("never half a character")
            << QStringLiteral("😀😀😀😀東京") << QStringLiteral("東京") << 6
            << QStringLiteral("…😀[東京]");
        QTest::newRow("no hit") << QStringLiteral("雨") << QStringLiteral("雪") << 160 << QString();
    }
    void snippet()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QFETCH(int, width);
        QFETCH(QString, expected);
        const QList<Hit> hits = FindHits(SearchQuery(query, false), text);
        const Snippet s = MakeSnippet(text, {hits.constData(), size_t(hits.size())}, width,
                                      [](QStringView shown) { return double(shown.size()); });
        QString marked = s.text;
        for (auto hit = s.hits.crbegin(); hit != s.hits.crend(); ++hit) {
            marked.insert(hit->end(), QLatin1Char(']'));
            marked.insert(hit->start, QLatin1Char('['));
        }
        QCOMPARE(marked, expected);
    }
};

ZEDU_TEST_MAIN(tst_Matcher)
#include "tst_Matcher.moc"
