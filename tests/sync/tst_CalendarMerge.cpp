#include "sync/CalendarMerge.h"
#include "tests/support/TestMain.h"

#include <optional>

namespace {

QString T(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const QString kLabel = QStringLiteral("2026/12/08 10:15");
const QString D = QStringLiteral("――― 別のコンピューターで書かれた内容（2026/12/08 10:15）―――");

// Day kinds as letters: W workday, H holiday, - no flag stored.
std::optional<bool> Kind(QChar letter)
{
    if (letter == QLatin1Char('-'))
        return std::nullopt;
    return letter == QLatin1Char('W');
}

const std::optional<bool> W = true;
const std::optional<bool> H = false;

DayRow Row(int key, const std::optional<QString>& text, std::optional<bool> workday)
{
    DayRow row;
    row.key = key;
    row.workday = workday;
    row.text = text;
    return row;
}

} // namespace

class tst_CalendarMerge : public QObject
{
    Q_OBJECT

private slots:
    // The day kind merged as a whole value; the text is the same everywhere.
    // `kinds` are base, ours and theirs (x: no base).
    void kind_data()
    {
        QTest::addColumn<QString>("kinds");
        QTest::addColumn<bool>("intoOurs");
        QTest::addColumn<QChar>("merged");
        QTest::addColumn<bool>("conflict");
        QTest::addColumn<bool>("changed");
        const auto row = [](const char* name, const char* kinds, bool intoOurs, char merged,
                            bool conflict, bool changed) {
            QTest::newRow(name) << QString::fromLatin1(kinds) << intoOurs
                                << QChar(QLatin1Char(merged)) << conflict << changed;
        };
        row("only ours made it a holiday", "WHW", false, 'H', false, true);
        row("only theirs made it a holiday", "WWH", false, 'H', false, false);
        row("both made it a holiday", "WHH", false, 'H', false, false);
        row("only ours changed, merged into ours", "WHW", true, 'H', false, false);
        row("only theirs changed, merged into ours", "WWH", true, 'H', false, true);
        row("changed differently: the file's stays", "-WH", false, 'H', true, false);
        row("changed differently: the calendar's stays", "-WH", true, 'W', true, false);
        row("no base, kinds differ: the calendar's stays", "xWH", true, 'W', true, false);
        row("no base, the same kind", "xHH", true, 'H', false, false);
        row("a flag taken away on one side", "WW-", false, '-', false, false);
    }
    void kind()
    {
        QFETCH(QString, kinds);
        QFETCH(bool, intoOurs);
        QFETCH(QChar, merged);
        QFETCH(bool, conflict);
        QFETCH(bool, changed);
        const std::optional<DayValue> base =
            kinds.at(0) == QLatin1Char('x') ? std::nullopt
                                            : std::optional<DayValue>({T("朝"), Kind(kinds.at(0))});
        const DayMerge merge =
            MergeDay(base, {T("朝"), Kind(kinds.at(1))}, {T("朝"), Kind(kinds.at(2))},
                     intoOurs ? MergeInto::Ours : MergeInto::Theirs, kLabel);
        QCOMPARE(merge.day.workday, Kind(merged));
        QCOMPARE(merge.kindConflict, conflict);
        QCOMPARE(merge.kindChanged, changed);
        QCOMPARE(merge.textChanged, false);
        QCOMPARE(merge.text, TextOutcome::Same);
    }

    // The journal of this Zedu's run against the file that replaced the
    // calendar: what the file must take, which days hold both texts, which
    // could not be placed.
    void journal()
    {
        const QList<JournalDay> journal = {
            // Not in the new file: its range ends earlier.
            {20270101, {T(""), H}, {T("元日"), H}},
            {20270102, {T(""), H}, {T(""), H}},
            // The file holds the base: a stale copy.
            {20261201, {T("朝は雨"), W}, {T("朝は雨\r\n昼は晴れ"), W}},
            // The file holds this Zedu's text already.
            {20261202, {T(""), W}, {T("会議"), W}},
            // The file holds a third text.
            {20261203, {T("朝は雨"), W}, {T("朝は雨\r\n昼は晴れ"), W}},
            {20261204, {T("歯医者 10時"), W}, {T("歯医者 11時"), W}},
            // Only the kind changed here; the file's entry is missing.
            {20261205, {T(""), H}, {T(""), W}},
            // Both changed the kind, differently.
            {20261206, {T(""), W}, {T(""), H}},
        };
        const QList<DayRow> file = {
            Row(20261130, T("日記"), W),        Row(20261201, T("朝は雨"), W),
            Row(20261202, T("会議"), W),        Row(20261203, T("朝は雨\r\n夜は雪"), W),
            Row(20261204, T("歯医者 9時"), W),  Row(20261205, std::nullopt, H),
            Row(20261206, T(""), std::nullopt),
        };
        const CalendarMerge merge = MergeJournal(journal, file, kLabel);

        const QList<DayWrite> writes = {
            {20261201, {T("朝は雨\r\n昼は晴れ"), W}, true, false},
            {20261203, {T("朝は雨\r\n昼は晴れ\r\n夜は雪"), W}, true, false},
            {20261204, {T("歯医者 11時\r\n") + D + T("\r\n歯医者 9時"), W}, true, false},
            {20261205, {T(""), W}, false, true},
        };
        QCOMPARE(merge.writes, writes);
        const QList<MergedDay> merged = {{20261203, false}, {20261204, true}};
        QCOMPARE(merge.merged, merged);
        QCOMPARE(merge.kindConflicts, QList<int>{20261206});
        const QList<DayWrite> unstored = {{20270101, {T("元日"), H}, true, false}};
        QCOMPARE(merge.unstored, unstored);
    }

    // A conflict copy merged into the calendar in use, without a base.
    void conflictCopy()
    {
        const QList<DayRow> calendar = {
            Row(20261130, T("日記"), W),
            Row(20261201, T("朝は雨"), W),
            Row(20261202, T("朝は雨"), W),
            Row(20261203, T("朝は雨\r\n昼は晴れ"), W),
            Row(20261204, T("朝は雨\r\n昼は晴れ"), W),
            Row(20261205, T(""), H),
            Row(20261206, std::nullopt, W),
            Row(20261207, T(""), W),
        };
        const QList<DayRow> copy = {
            Row(20270102, T(""), H),       Row(20270101, T("元日"), H),
            Row(20261207, T("買い物"), H), Row(20261206, T(""), W),
            Row(20261205, T(""), W),       Row(20261204, T("朝は雨\r\n夜は雪"), W),
            Row(20261203, T("朝は雨"), W), Row(20261202, T("朝は雨\r\n夜は雪"), W),
            Row(20261201, T("朝は雨"), W),
        };
        const CalendarMerge merge = MergeConflictCopy(calendar, copy, kLabel);

        const QList<DayWrite> writes = {
            {20261202, {T("朝は雨\r\n夜は雪"), W}, true, false},
            {20261204, {T("朝は雨\r\n昼は晴れ\r\n") + D + T("\r\n夜は雪"), W}, true, false},
            {20261207, {T("買い物"), W}, true, false},
        };
        QCOMPARE(merge.writes, writes);
        QCOMPARE(merge.merged, (QList<MergedDay>{MergedDay{20261204, true}}));
        QCOMPARE(merge.kindConflicts, (QList<int>{20261205, 20261207}));
        const QList<DayWrite> unstored = {{20270101, {T("元日"), H}, true, false}};
        QCOMPARE(merge.unstored, unstored);
    }
};

ZEDU_TEST_MAIN(tst_CalendarMerge)
#include "tst_CalendarMerge.moc"
