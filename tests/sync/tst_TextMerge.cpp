#include "sync/TextLines.h"
#include "sync/TextMerge.h"
#include "tests/support/TestMain.h"

#include <optional>

Q_DECLARE_METATYPE(TextOutcome)

namespace {

QString T(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const QString kLabel = QStringLiteral("2026/12/08 10:15");
// The divider as the user reads it, written out once here.
const QString D = QStringLiteral("――― 別のコンピューターで書かれた内容（2026/12/08 10:15）―――");

void Row(const char* name, const std::optional<QString>& base, const QString& ours,
         const QString& theirs, const QString& merged, TextOutcome outcome)
{
    QTest::newRow(name) << base.has_value() << base.value_or(QString()) << ours << theirs << merged
                        << outcome;
}

} // namespace

class tst_TextMerge : public QObject
{
    Q_OBJECT

private slots:
    // The cases of a day's entry merged from two computers. Every expected
    // text is worked out by hand: ours first; where both are kept, the lines
    // shared at the start once, then ours' version to the end, the divider,
    // theirs' version to the end.
    void merge_data()
    {
        QTest::addColumn<bool>("hasBase");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("merged");
        QTest::addColumn<TextOutcome>("outcome");
        using O = TextOutcome;
        const std::nullopt_t none = std::nullopt;

        // One side changed.
        Row("only ours changed", T("朝は雨"), T("朝は雨\r\n昼は晴れ"), T("朝は雨"),
            T("朝は雨\r\n昼は晴れ"), O::Ours);
        Row("only theirs changed", T("朝は雨"), T("朝は雨"), T("朝は雨\r\n夜は雪"),
            T("朝は雨\r\n夜は雪"), O::Theirs);
        Row("both made the same change", T("朝は雨"), T("朝は雨\r\n昼"), T("朝は雨\r\n昼"),
            T("朝は雨\r\n昼"), O::Same);
        Row("a side taken keeps its own line breaks", T("a\r\nb"), T("a\nb\n"), T("a\r\nb"),
            T("a\nb\n"), O::Ours);

        // Both changed, cleanly.
        Row("both added different lines at the end", T("朝は雨"), T("朝は雨\r\n昼は晴れ"),
            T("朝は雨\r\n夜は雪"), T("朝は雨\r\n昼は晴れ\r\n夜は雪"), O::Merged);
        Row("both added after a final line break", T("朝は雨\r\n"), T("朝は雨\r\n昼は晴れ"),
            T("朝は雨\r\n夜は雪\r\n"), T("朝は雨\r\n昼は晴れ\r\n夜は雪"), O::Merged);
        Row("changes to lines apart", T("1\r\n2\r\n3"), T("1a\r\n2\r\n3"), T("1\r\n2\r\n3c"),
            T("1a\r\n2\r\n3c"), O::Merged);
        Row("changes to neighbouring lines", T("1\r\n2"), T("1a\r\n2"), T("1\r\n2b"), T("1a\r\n2b"),
            O::Merged);
        Row("a line inserted beside a changed one", T("1\r\n2"), T("1\r\nX\r\n2"), T("1\r\n2b"),
            T("1\r\nX\r\n2b"), O::Merged);
        Row("the other computer took ours and wrote more", T("朝は雨"), T("朝は雨\r\n昼は晴れ"),
            T("朝は雨\r\n昼は晴れ\r\n夜は雪"), T("朝は雨\r\n昼は晴れ\r\n夜は雪"), O::Theirs);
        Row("the other computer took our change and wrote more", T("歯医者 10時"), T("歯医者 11時"),
            T("歯医者 11時\r\n薬をもらう"), T("歯医者 11時\r\n薬をもらう"), O::Theirs);
        Row("this computer took theirs and wrote more", T("歯医者 10時"),
            T("歯医者 9時\r\n薬をもらう"), T("歯医者 9時"), T("歯医者 9時\r\n薬をもらう"), O::Ours);
        Row("empty base: both wrote an entry", T(""), T("会議"), T("買い物"), T("会議\r\n買い物"),
            O::Merged);

        // Both changed the same lines.
        Row("both changed the same line", T("歯医者 10時"), T("歯医者 11時"), T("歯医者 9時"),
            T("歯医者 11時\r\n") + D + T("\r\n歯医者 9時"), O::Conflict);
        Row("both changed the same line in the middle", T("起床\r\n歯医者 10時\r\n買い物"),
            T("起床\r\n歯医者 11時\r\n買い物"), T("起床\r\n歯医者 9時\r\n買い物"),
            T("起床\r\n歯医者 11時\r\n買い物\r\n") + D + T("\r\n歯医者 9時\r\n買い物"),
            O::Conflict);
        Row("a clean change after the overlap is in both versions", T("1\r\n2\r\n3"),
            T("1\r\n2a\r\n3"), T("1\r\n2b\r\n3\r\n4"),
            T("1\r\n2a\r\n3\r\n4\r\n") + D + T("\r\n2b\r\n3\r\n4"), O::Conflict);
        Row("one deleted what the other changed", T("起床\r\n歯医者 10時\r\n買い物"),
            T("起床\r\n買い物"), T("起床\r\n歯医者 11時\r\n買い物"),
            T("起床\r\n買い物\r\n") + D + T("\r\n歯医者 11時\r\n買い物"), O::Conflict);
        Row("ours deleted a line theirs kept, both changed the one before",
            T("起床\r\n歯医者 10時"), T("起床 7時"), T("起床 7時\r\n歯医者 10時"),
            T("起床 7時\r\n") + D + T("\r\n歯医者 10時"), O::Conflict);
        Row("ours emptied what theirs changed", T("歯医者 10時"), T(""), T("歯医者 11時"),
            D + T("\r\n歯医者 11時"), O::Conflict);
        Row("theirs deleted the line ours changed", T("起床\r\n歯医者 10時"),
            T("起床\r\n歯医者 11時"), T("起床"), T("起床\r\n歯医者 11時\r\n") + D, O::Conflict);

        // Without a base (a conflict copy).
        Row("no base: ours only adds lines", none, T("朝は雨\r\n昼は晴れ"), T("朝は雨"),
            T("朝は雨\r\n昼は晴れ"), O::Ours);
        Row("no base: theirs only adds lines, before and after", none, T("朝は雨"),
            T("6時起床\r\n朝は雨\r\n夜は雪"), T("6時起床\r\n朝は雨\r\n夜は雪"), O::Theirs);
        Row("no base: a line typed after theirs' final break", none, T("朝は雨\r\n昼は晴れ"),
            T("朝は雨\r\n"), T("朝は雨\r\n昼は晴れ"), O::Ours);
        Row("no base: only a final line break added", none, T("朝は雨"), T("朝は雨\r\n"),
            T("朝は雨\r\n"), O::Theirs);
        Row("no base: an empty entry and a written one", none, T(""), T("買い物"), T("買い物"),
            O::Theirs);
        Row("no base: both wrote an entry", none, T("会議"), T("買い物"),
            T("会議\r\n") + D + T("\r\n買い物"), O::Conflict);
        Row("no base: both added at the end, the shared start once", none, T("朝は雨\r\n昼は晴れ"),
            T("朝は雨\r\n夜は雪"), T("朝は雨\r\n昼は晴れ\r\n") + D + T("\r\n夜は雪"), O::Conflict);

        // Line breaks and whitespace.
        Row("LF alone stays LF", T("1\n2\n3"), T("1a\n2\n3"), T("1\n2\n3c"), T("1a\n2\n3c"),
            O::Merged);
        Row("mixed breaks come out as CR LF", T("1\r\n2\r\n3"), T("1a\n2\n3"), T("1\r\n2\r\n3c"),
            T("1a\r\n2\r\n3c"), O::Merged);
        Row("a final break on one side, a line on the other", T("朝は雨"), T("朝は雨\r\n"),
            T("朝は雨\r\n夜は雪"), T("朝は雨\r\n夜は雪\r\n"), O::Merged);
        Row("an entry of line breaks only", T(""), T("\r\n"), T("\r\n\r\n"), T("\r\n\r\n"),
            O::Theirs);
        Row("a lone CR stays inside its line", T("A\rB"), T("A\rB\r\nC"), T("X\r\nA\rB"),
            T("X\r\nA\rB\r\nC"), O::Merged);
        Row("a text of spaces is not empty", T(""), T("　"), T(""), T("　"), O::Ours);
        Row("both added lines of spaces", T("A"), T("A\r\n "), T("A\r\n  "), T("A\r\n \r\n  "),
            O::Merged);
        Row("lines differing only in spaces overlap", T("歯医者"), T("歯医者 "), T("歯医者\t"),
            T("歯医者 \r\n") + D + T("\r\n歯医者\t"), O::Conflict);

        // Lines that look like the merge's own markers are text.
        Row("marker-like lines merge as text", T("<<<<<<<\r\n=======\r\n>>>>>>>"),
            T("<<<<<<< a\r\n=======\r\n>>>>>>>"), T("<<<<<<<\r\n=======\r\n>>>>>>> b"),
            T("<<<<<<< a\r\n=======\r\n>>>>>>> b"), O::Merged);
        Row("marker-like lines in an overlap", T("|||||||"), T("======="), T("<<<<<<<"),
            T("=======\r\n") + D + T("\r\n<<<<<<<"), O::Conflict);
    }
    void merge()
    {
        QFETCH(bool, hasBase);
        QFETCH(QString, base);
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(QString, merged);
        QFETCH(TextOutcome, outcome);
        const TextMerge result =
            MergeText(hasBase ? std::optional<QString>(base) : std::nullopt, ours, theirs, kLabel);
        QCOMPARE(result.text, merged);
        QCOMPARE(result.outcome, outcome);
    }

    void divider()
    {
        QCOMPARE(MergeDivider(MergeLabel(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 59)))), D);
    }

    // An entry as lines: every break ends a line, a lone CR is none, and the
    // text comes back from its lines with its own break.
    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("finalBreak");
        QTest::newRow("empty") << T("") << QStringList{} << false;
        QTest::newRow("one break") << T("\r\n") << QStringList{T("")} << true;
        QTest::newRow("two breaks") << T("\r\n\r\n") << QStringList{T(""), T("")} << true;
        QTest::newRow("no break at the end") << T("A\r\nB") << QStringList{T("A"), T("B")} << false;
        QTest::newRow("break at the end") << T("A\r\n") << QStringList{T("A")} << true;
        QTest::newRow("LF alone") << T("A\nB\n") << QStringList{T("A"), T("B")} << true;
        QTest::newRow("lone CR") << T("A\rB") << QStringList{T("A\rB")} << false;
        QTest::newRow("CR before CR LF") << T("A\r\r\nB") << QStringList{T("A\r"), T("B")} << false;
    }
    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QFETCH(bool, finalBreak);
        const TextLines split = TextLines::split(text);
        QCOMPARE(split.lines, lines);
        QCOMPARE(split.finalBreak, finalBreak);
        QCOMPARE(split.join(MergedLineBreak({&split})), text);
    }
};

ZEDU_TEST_MAIN(tst_TextMerge)
#include "tst_TextMerge.moc"
