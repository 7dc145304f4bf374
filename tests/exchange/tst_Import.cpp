// Bringing days back: round trips through JSON and CSV give the same rows
// byte for byte, iCalendar restores the entries' text, the readers name the
// line or field of a fault, and the import does what was chosen in one
// transaction.

#include "exchange/CsvReader.h"
#include "exchange/ICalendarReader.h"
#include "exchange/JsonReader.h"
#include "store/FileSession.h"
#include "store/MasterImport.h"
#include "tests/exchange/ExchangeFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <numeric>

using namespace Qt::StringLiterals;

class tst_Import : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString path(const char* name) const { return dir->filePath(QLatin1String(name)); }

    // A calendar of December 2026 and January 2027 at `file`, now gDataPath.
    void useCalendar(const char* file)
    {
        gDataPath = path(file);
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 202701));
    }

    static QString entryOf(int key)
    {
        return ReadDayField(gDataPath, key, QStringLiteral("内容")).toString();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gOpenFlag = false;
    }

    void roundTripGivesTheSameRows_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::newRow("json") << ExportFormat::Json;
        QTest::newRow("csv") << ExportFormat::Csv;
    }

    void roundTripGivesTheSameRows()
    {
        QFETCH(ExportFormat, format);
        useCalendar("source.vad");
        QString large;
        while (large.size() < 5 * 1024 * 1024 / 3)
            large += QStringLiteral("五メガの日記、\r\n改行もある。\n");
        const QList<std::pair<int, QVariant>> texts = {
            {20261201, QStringLiteral("会議\r\n買い物")},
            {20261202, QStringLiteral("lone\nLF and lone\rCR")},
            {20261203, QStringLiteral("\"quoted\", comma,\ttab")},
            {20261204, QStringLiteral("  leading and trailing  ")},
            {20261205, QStringLiteral("ﾊﾝｶｸｶﾅ ｶﾞｷﾞｸﾞ")},
            {20261206, QStringLiteral("𠮷野家 😀 outside the BMP")},
            {20261207, large},
            {20261208, QStringLiteral("\r\n")},
            {20261209, QVariant(QMetaType::fromType<QString>())},
            {20270101, QStringLiteral("末尾の改行\r\n\r\n")},
        };
        for (const auto& [key, text] : texts)
            QVERIFY(SqlPeek(gDataPath).exec(
                QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"), {text, key}));
        // Flags: a missing one, a working Saturday, a holiday on a Tuesday.
        QVERIFY(SetDay(gDataPath, 20261210, QVariant(QMetaType::fromType<bool>()),
                       QStringLiteral("x")));
        QVERIFY(SetDay(gDataPath, 20261212, true, QStringLiteral("")));
        QVERIFY(SetDay(gDataPath, 20261229, false, QStringLiteral("")));
        const QString file = path("export");
        ExportCalendar(format, file, Months(202612, 202701));

        const QString source = gDataPath;
        useCalendar("target.vad");
        const ReadResult read = format == ExportFormat::Json ? JsonReader().read(readFile(file))
                                                             : CsvReader().read(readFile(file));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QVERIFY(read.file.hasWorkdays);
        const ImportOutcome outcome =
            ApplyImport(read.file.days, {ExistingEntries::Keep, false, true});
        QCOMPARE(outcome.taken + outcome.unchanged, 62);
        QCOMPARE(StoredRows(gDataPath), StoredRows(source));
    }

    void iCalendarRestoresTheEntries()
    {
        useCalendar("source.vad");
        // Blank first lines and blanks around the text come back too.
        const QStringList texts = {
            QStringLiteral("会議\r\n買い物\r\n"), QStringLiteral("一行; だけ, の \\ 日"),
            QStringLiteral("\r\n二行目から"),     QStringLiteral("   \r\n空白の行の次"),
            QStringLiteral("  \u3000 "),          QStringLiteral("  前後に空白\t "),
            QStringLiteral("\t字下げ\r\n\r\n")};
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(WriteDayEntry(gDataPath, 20261201 + i, texts[i]));
        const QString file = path("out.ics");
        ExportInfo info;
        info.icsHolidays = true;
        ExportCalendar(ExportFormat::ICalendar, file, Months(202612, 202701, true), info);
        const ReadResult read = ICalendarReader().read(readFile(file));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.file.days.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(read.file.days[i].key, 20261201 + i);
            QCOMPARE(read.file.days[i].text.value_or(u"(none)"_s), texts[i]);
        }
    }

    void iCalendarOfOtherPrograms()
    {
        const QByteArray ics =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\n"
            "BEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART:20261207T053000Z\r\nSUMMARY:打ち合わせ\r\nDESCRIPTION:資料\\n持参\r\n"
            "END:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:b\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART:20261207T083000\r\nSUMMARY:朝礼\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:c\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART;VALUE=DATE:20261207\r\nDTEND;VALUE=DATE:20261208\r\nSUMMARY:誕生日\r\n"
            "END:VEVENT\r\n"
            "BEGIN:VEVENT\r\nUID:d\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART:20261207T150000Z\r\nEND:VEVENT\r\n"
            "BEGIN:VJOURNAL\r\nUID:e\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART:20261209T100000Z\r\nSUMMARY:日誌\r\nEND:VJOURNAL\r\n"
            "BEGIN:VEVENT\r\nUID:20261207-holiday@zedu\r\nDTSTAMP:20261201T000000Z\r\n"
            "DTSTART;VALUE=DATE:20261207\r\nSUMMARY:休日\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n";
        const ReadResult read =
            ICalendarReader(QTimeZone(QByteArrayLiteral("Asia/Tokyo"))).read(ics);
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.file.days.size(), 3);
        QVERIFY(!read.file.hasWorkdays);
        // 05:30Z is 14:30 in Tokyo; 15:00Z already the next day there.
        QCOMPARE(read.file.days[0].key, 20261207);
        QCOMPARE(*read.file.days[0].text,
                 QStringLiteral("誕生日\r\n08:30 朝礼\r\n14:30 打ち合わせ\r\n資料\r\n持参"));
        QCOMPARE(read.file.days[1].key, 20261208);
        QCOMPARE(*read.file.days[1].text, QStringLiteral("00:00"));
        QCOMPARE(*read.file.days[2].text, QStringLiteral("日誌"));
    }

    void unreadableFilesNameTheirFault_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray head = "{\"format\":\"zedu-diary\",\"version\":1,\"days\":[\n";
        QTest::newRow("json damaged")
            << "a.json" << head + "{\"key\":20261207,\"workday\":true,\"text\":\"a\"}\n{\"key\":"
            << QStringLiteral("3行目: 「,」か「]」があるはずのところに「{」があります。");
        QTest::newRow("json cut off")
            << "a.json" << head + "{\"key\":20261207,\"workday\":true,\"text\":\"a"
            << QStringLiteral("2行目: ファイルが途中で終わっています。");
        QTest::newRow("json of another program")
            << "a.json" << QByteArray("{\"name\":\"日記\",\n\"entries\":[]}")
            << QStringLiteral(
                   "1行目（format）: Zedu が書き出した JSON ではありません（「format」が "
                   "\"zedu-diary\" ではありません）。");
        QTest::newRow("json newer version")
            << "a.json" << QByteArray("{\"format\":\"zedu-diary\",\n\"version\":2,\"days\":[]}")
            << QStringLiteral(
                   "2行目（version）: 新しい版（2）の Zedu が書き出したファイルです。この"
                   "版では読めません。");
        QTest::newRow("json flag")
            << "a.json" << head + "{\"key\":20261207,\n\"workday\":\"yes\",\"text\":\"a\"}]}"
            << QStringLiteral("3行目（days[0].workday）: true、false、null のどれでもありません。");
        QTest::newRow("json no day")
            << "a.json" << head + "{\"key\":20261231},{\"key\":20261131,\"workday\":true}]}"
            << QStringLiteral("2行目（days[0]）: 「workday」がありません。");
        QTest::newRow("json twice")
            << "a.json"
            << head + "{\"key\":20261207,\"workday\":true,\"text\":\"a\"},\n"
                      "{\"key\":20261207,\"workday\":true,\"text\":\"b\"}]}"
            << QStringLiteral("3行目（days[1].key）: 20261207 の日が二度あります。");
        // Once the keys do not rise, every key before counts too.
        QTest::newRow("json twice, out of order")
            << "a.json"
            << head + "{\"key\":20261208,\"workday\":true,\"text\":\"a\"},\n"
                      "{\"key\":20261207,\"workday\":true,\"text\":\"b\"},\n"
                      "{\"key\":20261208,\"workday\":true,\"text\":\"c\"}]}"
            << QStringLiteral("4行目（days[2].key）: 20261208 の日が二度あります。");
        QTest::newRow("json bad key")
            << "a.json" << head + "{\"key\":20261131,\"workday\":true,\"text\":\"a\"}]}"
            << QStringLiteral(
                   "2行目（days[0].key）: 日付ではありません（20261207 の形で書きます）。");
        // Long entries are decoded on a second thread during the parse: a
        // bad byte in one is still the first fault told, before the faults
        // met after it, in its own day or later, near the end of a large
        // file.
        const QByteArray longBad = "\"" + QByteArray(80, 'a') + "\xFF\"";
        QTest::newRow("json bad byte in a long entry, then a bad day")
            << "a.json"
            << head + "{\"key\":20261207,\"workday\":true,\"text\":" + longBad + "},\n" +
                   "{\"key\":20261131,\"workday\":true,\"text\":\"a\"}]}"
            << QStringLiteral("2行目: UTF-8 として読めない文字があります。");
        QTest::newRow("json bad byte in the long entry of a bad day")
            << "a.json" << head + "{\"key\":20261131,\"workday\":true,\"text\":" + longBad + "}]}"
            << QStringLiteral("2行目: UTF-8 として読めない文字があります。");
        QByteArray large = head;
        QByteArray largeCsv = "\xEF\xBB\xBF日付,内容\n";
        const QByteArray entry = QStringLiteral("二メガを超える日記。").repeated(40).toUtf8();
        const QDate first(2000, 1, 1);
        for (int day = 0; day < 6000; ++day) {
            const QByteArray key = first.addDays(day).toString(u"yyyyMMdd"_s).toLatin1();
            const QByteArray text = day == 5999 ? entry + "\xFF" : entry;
            large += "{\"key\":" + key + ",\"workday\":true,\"text\":\"" + text + "\"},\n";
            largeCsv += key + ",\"" + text + "\"\n";
        }
        large += "{\"key\":20261131,\"workday\":true,\"text\":\"a\"}]}";
        QTest::newRow("json bad byte at the end of a large file")
            << "a.json" << large
            << QStringLiteral("6001行目: UTF-8 として読めない文字があります。");
        QTest::newRow("csv bad byte at the end of a large file")
            << "a.csv" << largeCsv
            << QStringLiteral("6001行目: UTF-8 として読めない文字があります。");
        QTest::newRow("csv missing column")
            << "a.csv" << QByteArray("日付,曜日,平日\r\n20261207,1,1\r\n")
            << QStringLiteral("1行目: 「内容」の列がありません。");
        QTest::newRow("csv missing field")
            << "a.csv"
            << QByteArray("日付,曜日,平日,内容\r\n20261207,1,1,\"a\"\r\n20261208,2,1\r\n")
            << QStringLiteral("3行目: 欄の数が見出しと合いません（4 欄のはずが 3 欄）。");
        QTest::newRow("csv twice, out of order")
            << "a.csv" << QByteArray("日付,内容\n20261208,a\n20261209,b\n20261207,c\n20261208,d\n")
            << QStringLiteral("5行目「日付」: 20261208 の日が二度あります。");
        QTest::newRow("csv flag")
            << "a.csv" << QByteArray("日付,曜日,平日,内容\n20261207,1,はい,\"a\"\n")
            << QStringLiteral("2行目「平日」: 「はい」は 1、0、空欄のどれでもありません。");
        QTest::newRow("csv weekday")
            << "a.csv" << QByteArray("日付,曜日,平日,内容\n20261207,3,1,\"a\"\n")
            << QStringLiteral("2行目「曜日」: 「3」が日付の曜日（1）と合いません。");
        QTest::newRow("csv unclosed")
            << "a.csv" << QByteArray("日付,内容\n20261207,\"a\n\nb\n")
            << QStringLiteral("2行目: 「\"」で始まった欄が閉じていません。");
        QTest::newRow("csv stray quote")
            << "a.csv" << QByteArray("日付,内容\n20261207,\"a\"\r\n20261208,\"b\nc\"x\n")
            << QStringLiteral("4行目: 「\"」で閉じた欄の後ろに文字があります。");
        // Line breaks inside quoted fields count, a CR before a doubled
        // quote among them: the fault is on line 2 + 3 + 1.
        QTest::newRow("csv lines inside fields")
            << "a.csv" << QByteArray("日付,内容\n20261207,\"x\r\"\"y\r\nz\n\"\n20261208,\"b\"x\n")
            << QStringLiteral("6行目: 「\"」で閉じた欄の後ろに文字があります。");
        // The quick decoder turns a bad byte into U+FFFD: still refused.
        QTest::newRow("csv with BOM, not utf-8")
            << "a.csv" << QByteArray("\xEF\xBB\xBF日付,内容\n20261207,a\n20261208,\x93\xfa\n")
            << QStringLiteral("3行目: UTF-8 として読めない文字があります。");
        QTest::newRow("csv neither utf-8 nor cp932")
            << "a.csv" << QByteArray("日付,内容\n20261207,a\n20261208,\x93\xfa\x85\x40\n")
            << QStringLiteral(
                   "3行目: UTF-8 としても Shift_JIS（CP932）としても読めない文字があります。");
        QTest::newRow("ics not utf-8")
            << "a.ics" << QByteArray("BEGIN:VCALENDAR\r\nSUMMARY:\x93\xfa\r\nEND:VCALENDAR\r\n")
            << QStringLiteral("2行目: UTF-8 として読めない文字があります。");
        QTest::newRow("ics not a calendar")
            << "a.ics" << QByteArray("日付,内容\n")
            << QStringLiteral(
                   "1行目: iCalendar のファイルではありません（BEGIN:VCALENDAR で始まって"
                   "いません）。");
        QTest::newRow("ics no start")
            << "a.ics"
            << QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:x\r\n"
                          "SUMMARY:会議\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
            << QStringLiteral("iCalendar を読めませんでした。VEVENT「会議」: 日付（DTSTART）が"
                              "ありません。");
    }

    void unreadableFilesNameTheirFault()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString file = dir->filePath(name);
        writeFile(file, bytes);
        const ReadResult read = ReadImportFile(file);
        QCOMPARE(read.error, error);
        QVERIFY(read.file.days.isEmpty());
    }

    void jsonStringsReadAtAnyPosition_data()
    {
        QTest::addColumn<QByteArray>("written"); // inside the quotes of "text"
        QTest::addColumn<QString>("read");       // or the fault
        auto row = [](const char* name, const char* written, const QString& read) {
            QTest::newRow(name) << QByteArray(written) << read;
        };
        row("line break escaped", "\\r\\n", u"\r\n"_s);
        row("quote and backslash escaped", "\\\"\\\\\\/", u"\"\\/"_s);
        row("surrogate pair", "\\ud842\\udfb7", u"𠮷"_s);
        row("escaped character", "\\u3042", u"あ"_s);
        row("U+FFFD as written", "\xEF\xBF\xBD", u"\uFFFD"_s);
        row("Japanese", "日記", u"日記"_s);
        row("tab as it is", "\t",
            u"2行目: 文字列の中に改行などの制御文字がそのまま入っています。"_s);
        row("byte of no UTF-8", "\xFF", u"2行目: UTF-8 として読めない文字があります。"_s);
        row("low surrogate alone", "\\udfb7", u"2行目: 対になっていないサロゲートがあります。"_s);
    }

    // The reader looks at eight bytes at a time for the end of a string:
    // what it looks for is found wherever it falls among them, in short
    // entries and in long ones.
    void jsonStringsReadAtAnyPosition()
    {
        QFETCH(QByteArray, written);
        QFETCH(QString, read);
        const bool fault = read.contains(u"行目: "_s);
        // Up to 17 bytes before it, and enough to make an entry that is
        // decoded on the side.
        QList<int> lengths(18);
        std::iota(lengths.begin(), lengths.end(), 0);
        lengths << 70;
        for (const int before : std::as_const(lengths)) {
            for (int after : {0, 1, 7, 9}) {
                const QByteArray json = "{\"format\":\"zedu-diary\",\"version\":1,\"days\":[\n"
                                        "{\"key\":20261207,\"workday\":true,\"text\":\"" +
                                        QByteArray(before, 'a') + written + QByteArray(after, 'b') +
                                        "\"}]}";
                const ReadResult result = JsonReader().read(json);
                const QString where = QStringLiteral("%1 before, %2 after").arg(before).arg(after);
                if (fault) {
                    QVERIFY2(result.error == read, qPrintable(where + u": "_s + result.error));
                    continue;
                }
                QVERIFY2(result.ok(), qPrintable(where + u": "_s + result.error));
                QCOMPARE(*result.file.days.value(0).text,
                         QString(before, u'a') + read + QString(after, u'b'));
            }
        }
    }

    void iCalendarParseErrorNamesTheComponent()
    {
        const ReadResult read = ICalendarReader().read(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:x\r\nSUMMARY:会議\r\n"
            "DTSTART:abc\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        QVERIFY2(
            read.error.startsWith(QStringLiteral("iCalendar を読めませんでした。VEVENT「会議」: "
                                                 "値が正しくありません")),
            qPrintable(read.error));
    }

    void importDoesWhatWasChosen_data()
    {
        QTest::addColumn<ExistingEntries>("existing");
        QTest::addColumn<bool>("extend");
        QTest::addColumn<QStringList>("entries"); // of 12/06, 12/07, 12/08, 2027/02/01
        QTest::addColumn<QString>("range");
        QTest::addColumn<QList<int>>("counts"); // taken, kept, unchanged, left out
        QTest::newRow("replace") << ExistingEntries::Replace << false
                                 << QStringList({u"新"_s, u"同じ"_s, u"元"_s, QString()})
                                 << u"202612-202701"_s << QList<int>{1, 0, 2, 1};
        QTest::newRow("append") << ExistingEntries::Append << true
                                << QStringList({u"元\r\n新"_s, u"同じ"_s, u"元"_s, u"二月"_s})
                                << u"202612-202702"_s << QList<int>{2, 0, 2, 0};
        QTest::newRow("keep") << ExistingEntries::Keep << false
                              << QStringList({u"元"_s, u"同じ"_s, u"元"_s, QString()})
                              << u"202612-202701"_s << QList<int>{0, 1, 2, 1};
    }

    void importDoesWhatWasChosen()
    {
        QFETCH(ExistingEntries, existing);
        QFETCH(bool, extend);
        QFETCH(QStringList, entries);
        QFETCH(QString, range);
        QFETCH(QList<int>, counts);
        useCalendar("Data.vad");
        for (const int key : {20261206, 20261208})
            QVERIFY(WriteDayEntry(gDataPath, key, QStringLiteral("元")));
        QVERIFY(WriteDayEntry(gDataPath, 20261207, QStringLiteral("同じ")));
        auto day = [](int key, const char* text) {
            return DayRow{key, WeekOfKey(key), false, QString::fromUtf8(text)};
        };
        const QList<DayRow> days = {day(20261206, "新"), day(20261207, "同じ"), day(20261208, ""),
                                    day(20270201, "二月")};

        const ImportSurvey survey = SurveyImport(days);
        QCOMPARE(survey.days, 4);
        QCOMPARE(survey.outside, 1);
        QCOMPARE(survey.differing, 1);
        QCOMPARE(survey.lastYm, 202702);

        // The outcome counts what changed; the same file again changes
        // nothing, whatever was chosen.
        for (int round = 0; round < 2; ++round) {
            const ImportOutcome outcome = ApplyImport(days, {existing, extend, false});
            const QList<int> seen = {outcome.taken, outcome.kept, outcome.unchanged,
                                     outcome.leftOut};
            const int taken = counts[0];
            const QList<int> again = {0, counts[1], counts[2] + taken, counts[3]};
            QCOMPARE(seen, round == 0 ? counts : again);
            QCOMPARE(QStringLiteral("%1-%2").arg(outcome.range.firstYm).arg(outcome.range.lastYm),
                     range);
            const int keys[] = {20261206, 20261207, 20261208, 20270201};
            for (int i = 0; i < 4; ++i)
                QCOMPARE(entryOf(keys[i]), entries[i]);
        }
        // The flags stay unless they are taken; the widened range's days
        // are made as the range change makes them.
        QCOMPARE(ReadDayField(gDataPath, 20261207, QStringLiteral("平日")).toInt(), 1);
        if (extend) {
            QCOMPARE(SqlPeek(gDataPath).one(QStringLiteral("SELECT count(*) FROM Master")).toInt(),
                     62 + 28);
            QCOMPARE(ReadDayField(gDataPath, 20270228, QStringLiteral("平日")).toInt(), 0);
        }
    }

    void appendAddsOnlyWhatTheDayLacks_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("imported");
        QTest::addColumn<QString>("after");
        QTest::newRow("whole") << u"会議\r\n資料"_s << u"会議\r\n資料"_s << u"会議\r\n資料"_s;
        QTest::newRow("at the end after CR LF") << u"朝\r\n会議"_s << u"会議"_s << u"朝\r\n会議"_s;
        QTest::newRow("at the end after LF") << u"朝\n会議"_s << u"会議"_s << u"朝\n会議"_s;
        QTest::newRow("end of a line only") << u"定例会議"_s << u"会議"_s << u"定例会議\r\n会議"_s;
        QTest::newRow("elsewhere") << u"会議\r\n朝"_s << u"会議"_s << u"会議\r\n朝\r\n会議"_s;
    }

    void appendAddsOnlyWhatTheDayLacks()
    {
        QFETCH(QString, stored);
        QFETCH(QString, imported);
        QFETCH(QString, after);
        useCalendar("Data.vad");
        QVERIFY(WriteDayEntry(gDataPath, 20261207, stored));
        const QList<DayRow> days = {DayRow{20261207, 1, true, imported}};
        const ImportOutcome outcome = ApplyImport(days, {ExistingEntries::Append, false, false});
        QCOMPARE(entryOf(20261207), after);
        QCOMPARE(outcome.taken, after == stored ? 0 : 1);
    }

    // With speed priority on, the calendar's handle stays open: an import
    // gives it back with the cache it had.
    void importLeavesTheSharedHandlesCacheAsItWas()
    {
        useCalendar("Data.vad");
        gOpenFlag = true;
        gDatabase.open(gDataPath);
        auto cacheSize = [] {
            Query size(gDatabase, u"PRAGMA cache_size"_s);
            size.exec();
            return size.next() ? size.value(0).toInt() : 0;
        };
        const int before = cacheSize();
        QVERIFY(before != 0);
        const QList<DayRow> days = {DayRow{20261207, 1, true, u"会議"_s}};
        QCOMPARE(ApplyImport(days, {ExistingEntries::Replace, false, false}).taken, 1);
        QCOMPARE(cacheSize(), before);
        gDatabase.close();
    }

    void daysOutOfOrderAreSorted_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::newRow("csv") << QByteArray("日付,内容\n20261209,c\n20261207,a\n20261208,b\n")
                             << u"a.csv"_s;
        QTest::newRow("json") << QByteArray("{\"format\":\"zedu-diary\",\"version\":1,\"days\":["
                                            "{\"key\":20261209,\"workday\":true,\"text\":\"c\"},"
                                            "{\"key\":20261207,\"workday\":true,\"text\":\"a\"},"
                                            "{\"key\":20261208,\"workday\":true,\"text\":\"b\"}]}")
                              << u"a.json"_s;
    }

    void daysOutOfOrderAreSorted()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        const QString file = dir->filePath(name);
        writeFile(file, bytes);
        const ReadResult read = ReadImportFile(file);
        QVERIFY2(read.ok(), qPrintable(read.error));
        QStringList days;
        for (const DayRow& day : read.file.days)
            days << QStringLiteral("%1 %2").arg(day.key).arg(*day.text);
        QCOMPARE(days, QStringList({u"20261207 a"_s, u"20261208 b"_s, u"20261209 c"_s}));
    }

    void csvInUtf8OrCp932_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        // 日付,内容 / 20261207,"①会議～ｱｲ" in each encoding.
        const QString text = u"①会議～ｱｲ"_s;
        const QByteArray utf8 = (u"日付,内容\r\n20261207,\""_s + text + u"\"\r\n"_s).toUtf8();
        QTest::newRow("utf-8") << utf8 << u"UTF-8"_s << text;
        QTest::newRow("utf-8 with BOM") << "\xEF\xBB\xBF" + utf8 << u"UTF-8"_s << text;
        QTest::newRow("cp932") << QByteArray(
                                      "\x93\xfa\x95\x74,\x93\xe0\x97\x65\r\n"
                                      "20261207,\"\x87\x40\x89\xef\x8b\x63\x81\x60\xb1\xb2\"\r\n")
                               << u"Shift_JIS（CP932）"_s << text;
        // U+FFFD written in the file is a character like any other.
        const QByteArray replacement =
            (u"日付,内容\n20261207,\"\uFFFD"_s + text + u"\"\n"_s).toUtf8();
        QTest::newRow("utf-8 holding U+FFFD") << replacement << u"UTF-8"_s << u"\uFFFD"_s + text;
        QTest::newRow("utf-8 with BOM holding U+FFFD")
            << "\xEF\xBB\xBF" + replacement << u"UTF-8"_s << u"\uFFFD"_s + text;
    }

    void csvInUtf8OrCp932()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        const ReadResult read = CsvReader().read(bytes);
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.file.encoding, encoding);
        QCOMPARE(read.file.days.size(), 1);
        QCOMPARE(*read.file.days[0].text, text);
    }

    void iCalendarUnfoldsAndSpansDays_data()
    {
        QTest::addColumn<QByteArray>("events");
        QTest::addColumn<QStringList>("days"); // "key text", calendar 2026/12-2027/01
        auto event = [](const char* start, const char* end, const char* summary) {
            return QByteArray("BEGIN:VEVENT\r\nUID:") + start +
                   "\r\nDTSTAMP:20261201T000000Z\r\n"
                   "DTSTART;VALUE=DATE:" +
                   start + "\r\n" +
                   (*end ? QByteArray("DTEND;VALUE=DATE:") + end + "\r\n" : QByteArray()) +
                   "SUMMARY:" + summary + "\r\nEND:VEVENT\r\n";
        };
        // 本 is E6 9C AC: folded after its first two bytes.
        QTest::newRow("folded inside a character")
            << event("20261207", "", "日\xe6\x9c\r\n \xac\r\n\tです")
            << QStringList({u"20261207 日本です"_s});
        QTest::newRow("over several days")
            << event("20261230", "20270102", "旅行") + event("20261231", "20270101", "大晦日")
            << QStringList({u"20261230 旅行"_s, u"20261231 旅行\r\n大晦日"_s, u"20270101 旅行"_s});
        QTest::newRow("beyond the stored range")
            << event("20261130", "20261203", "出張") + event("20270130", "20270203", "合宿")
            << QStringList({u"20261130 出張"_s, u"20261201 出張"_s, u"20261202 出張"_s,
                            u"20270130 合宿"_s, u"20270131 合宿"_s});
        QTest::newRow("one day") << event("20261207", "20261208", "誕生日")
                                 << QStringList({u"20261207 誕生日"_s});
    }

    void iCalendarUnfoldsAndSpansDays()
    {
        QFETCH(QByteArray, events);
        QFETCH(QStringList, days);
        const QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\n" +
                               events + "END:VCALENDAR\r\n";
        const ReadResult read =
            ICalendarReader(QTimeZone(QByteArrayLiteral("Asia/Tokyo")), {202612, 202701}).read(ics);
        QVERIFY2(read.ok(), qPrintable(read.error));
        QStringList seen;
        for (const DayRow& day : read.file.days)
            seen << QString::number(day.key) + QLatin1Char(' ') + *day.text;
        QCOMPARE(seen, days);
    }
};

ZEDU_TEST_MAIN(tst_Import)
#include "tst_Import.moc"
