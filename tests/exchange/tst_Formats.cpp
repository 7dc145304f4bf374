// The export formats byte for byte, the iCalendar file as libical reads it
// back, and the atomic writing: a cancelled or failed export leaves nothing.

#include "exchange/ExchangeError.h"
#include "exchange/ICalendarComponents.h"
#include "exchange/ICalendarReader.h"
#include "exchange/ICalendarWriter.h"
#include "exchange/TextWriters.h"
#include "tests/exchange/ExchangeFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <libical/ical.h>

#include <QStringDecoder>

class tst_Formats : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString path(const char* name) const { return dir->filePath(QLatin1String(name)); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = path("Data.vad");
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 202701));
        QVERIFY(SetDay(gDataPath, 20261206, false, QStringLiteral("休み")));
        QVERIFY(
            SetDay(gDataPath, 20261207, true, QStringLiteral("10:00 会議\r\n# 見出し *強調*\r\n")));
    }

    void formatsByteForByte_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("text") << ExportFormat::Text
                              << QByteArray("2026/12/06(日)（休日）\n休み\n\n"
                                            "2026/12/07(月)\n10:00 会議\n# 見出し *強調*\n");
        QTest::newRow("markdown") << ExportFormat::Markdown
                                  << QByteArray("## 2026年12月6日（日）（休日）\n\n休み\n\n"
                                                "## 2026年12月7日（月）\n\n"
                                                "10:00 会議\\\n\\# 見出し \\*強調\\*\n");
        QTest::newRow("csv") << ExportFormat::Csv
                             << QByteArray(
                                    "\xEF\xBB\xBF日付,曜日,平日,内容\r\n"
                                    "20261206,0,0,\"休み\"\r\n"
                                    "20261207,1,1,\"10:00 会議\r\n# 見出し *強調*\r\n\"\r\n");
        QTest::newRow("json") << ExportFormat::Json
                              << QByteArray("{\"format\":\"zedu-diary\",\"version\":1,"
                                            "\"range\":{\"first\":202612,\"last\":202701},\n"
                                            "\"days\":[\n"
                                            "{\"key\":20261206,\"weekday\":0,\"workday\":false,"
                                            "\"text\":\"休み\"},\n"
                                            "{\"key\":20261207,\"weekday\":1,\"workday\":true,"
                                            "\"text\":\"10:00 会議\\r\\n# 見出し *強調*\\r\\n\"}\n"
                                            "]}\n");
    }

    void formatsByteForByte()
    {
        QFETCH(ExportFormat, format);
        QFETCH(QByteArray, expected);
        const QString target = path("out");
        const ExportOutcome outcome = ExportCalendar(format, target, Months(202612, 202612, true));
        QCOMPARE(outcome.days, 2);
        QCOMPARE(readFile(target), expected);
        QVERIFY(OwnerOnly(target));
    }

    void oneFilePerDayWithAnEntry()
    {
        QVERIFY(SetDay(gDataPath, 20270101, true, QStringLiteral("")));
        const QString target = path("days");
        ExportCalendar(ExportFormat::TextPerDay, target, Months(202612, 202701));
        QCOMPARE(FolderNames(target),
                 QStringList({QStringLiteral("2026-12-06.txt"), QStringLiteral("2026-12-07.txt")}));
        QCOMPARE(readFile(target + QStringLiteral("/2026-12-07.txt")),
                 QByteArray("10:00 会議\n# 見出し *強調*\n"));
        // Into a folder that exists: the days' files are replaced, others stay.
        writeFile(target + QStringLiteral("/2026-12-06.txt"), "old");
        writeFile(target + QStringLiteral("/notes.md"), "mine");
        QVERIFY(ExportWouldReplace(ExportFormat::TextPerDay, target));
        ExportCalendar(ExportFormat::TextPerDay, target, Months(202612, 202612));
        QCOMPARE(readFile(target + QStringLiteral("/2026-12-06.txt")), QByteArray("休み\n"));
        QCOMPARE(readFile(target + QStringLiteral("/notes.md")), QByteArray("mine"));
        QCOMPARE(FolderNames(dir->path()),
                 QStringList({QStringLiteral("Data.vad"), QStringLiteral("days")}));
    }

    void markdownShowsLinesAsWritten_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("list") << QStringLiteral("- 買い物") << QStringLiteral("\\- 買い物");
        QTest::newRow("ordered") << QStringLiteral("1. 一つ目") << QStringLiteral("1\\. 一つ目");
        QTest::newRow("heading") << QStringLiteral("## 題") << QStringLiteral("\\## 題");
        QTest::newRow("quote") << QStringLiteral("> 引用") << QStringLiteral("\\> 引用");
        QTest::newRow("rule") << QStringLiteral("***") << QStringLiteral("\\*\\*\\*");
        QTest::newRow("underline") << QStringLiteral("===") << QStringLiteral("\\===");
        QTest::newRow("indent") << QStringLiteral("  字下げ\t")
                                << QStringLiteral("&nbsp;&nbsp;字下げ\t");
        QTest::newRow("tab") << QStringLiteral("\tタブ")
                             << QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;タブ");
        QTest::newRow("empty") << QString() << QStringLiteral("&nbsp;");
        QTest::newRow("inline")
            << QStringLiteral("a<b>&c `d` _e_ ~f~ |g| [h](i) \\")
            << QStringLiteral("a\\<b\\>\\&c \\`d\\` \\_e\\_ \\~f\\~ \\|g\\| \\[h\\](i) \\\\");
        QTest::newRow("plain") << QStringLiteral("10:00 会議 3.5 - 4")
                               << QStringLiteral("10:00 会議 3.5 - 4");
    }

    void markdownShowsLinesAsWritten()
    {
        QFETCH(QString, line);
        QFETCH(QString, escaped);
        QCOMPARE(MarkdownWriter::EscapeLine(line), escaped);
    }

    void iCalendarParsesBackWithoutRestrictionErrors()
    {
        // A long line of Japanese, so that folding meets multi-byte characters.
        QString long_;
        for (int i = 0; i < 40; ++i)
            long_ += QStringLiteral("日記、") + QString::number(i);
        QVERIFY(SetDay(gDataPath, 20261208, true, long_ + QStringLiteral("\r\n二行目; 三, 四\\")));
        QVERIFY(SetDay(gDataPath, 20261231, false, QStringLiteral("")));
        QVERIFY(SetDay(gDataPath, 20270101, false, QStringLiteral("")));
        ExportInfo info;
        info.icsEvents = true;
        info.icsHolidays = true;
        const QString target = path("out.ics");
        ExportCalendar(ExportFormat::ICalendar, target, Months(202612, 202701, true), info);
        const QByteArray bytes = readFile(target);

        // Folded at 75 octets, never inside a UTF-8 character.
        const QList<QByteArray> lines = bytes.split('\n');
        for (const QByteArray& line : lines) {
            QVERIFY2(line.isEmpty() || line.endsWith('\r'), line.constData());
            QVERIFY2(line.size() <= 76, line.constData());
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString decoded = utf8(line);
            QVERIFY2(!utf8.hasError(), line.constData());
        }
        QVERIFY(!bytes.contains("METHOD"));

        const std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> root(
            icalparser_parse_string(bytes.constData()), icalcomponent_free);
        QVERIFY(root);
        QCOMPARE(icalrestriction_check(root.get()), 1);
        QStringList seen;
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_ANY_COMPONENT);
             c; c = icalcomponent_get_next_component(root.get(), ICAL_ANY_COMPONENT)) {
            QVERIFY(!icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY));
            QCOMPARE(icalcomponent_isa(c), ICAL_VEVENT_COMPONENT);
            const icaltimetype start = icalcomponent_get_dtstart(c);
            const icaltimetype end = icalcomponent_get_dtend(c);
            QVERIFY(icaltime_is_date(start) && icaltime_is_date(end));
            QCOMPARE(icaltime_as_timet(end) - icaltime_as_timet(start), time_t(86400));
            const icalproperty* transp = icalcomponent_get_first_property(c, ICAL_TRANSP_PROPERTY);
            seen << QStringLiteral("%1 %2 %3")
                        .arg(QString::fromUtf8(icalcomponent_get_uid(c)),
                             QString::fromUtf8(icalcomponent_get_summary(c)),
                             transp ? QStringLiteral("transparent") : QString());
        }
        QCOMPARE(seen,
                 QStringList({QStringLiteral("20261206-entry@zedu 休み "),
                              QStringLiteral("20261207-entry@zedu 10:00 会議 "),
                              QStringLiteral("20261208-entry@zedu ") + long_ + QLatin1Char(' '),
                              QStringLiteral("20261231-holiday@zedu 休日 transparent"),
                              QStringLiteral("20270101-holiday@zedu 元日 transparent")}));

        // A second export at another moment names the days alike.
        info.stamp = QDateTime(QDate(2027, 1, 5), QTime(8, 0), Qt::UTC);
        ExportCalendar(ExportFormat::ICalendar, target, Months(202612, 202701, true), info);
        QByteArray again = readFile(target);
        QCOMPARE(again.replace("20270105T080000Z", "20261207T090000Z"), bytes);
    }

    void everyComponentShapePassesTheCheck_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QVariant>("workday");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("events");
        QTest::addColumn<QByteArrayList>("lines");
        const QVariant workday = true;
        const QVariant holiday = false;
        auto row = [](const char* name, int key, const QVariant& flag, const char16_t* text,
                      bool events, QByteArrayList lines) {
            QTest::newRow(name) << key << flag << QString::fromUtf16(text) << events << lines;
        };
        row("journal", 20261208, workday, u"会議", false, {"BEGIN:VJOURNAL", "SUMMARY:会議"});
        row("journal, blanks before", 20261208, workday, u"  会議", false,
            {"BEGIN:VJOURNAL", "X-ZEDU-LEADING-BLANKS:20 20"});
        row("journal, blanks after", 20261208, workday, u"会議\t", false,
            {"BEGIN:VJOURNAL", "X-ZEDU-TRAILING-BLANKS:9"});
        row("journal, blanks around", 20261208, workday, u" 会議 ", false,
            {"X-ZEDU-LEADING-BLANKS:20", "X-ZEDU-TRAILING-BLANKS:20"});
        row("event", 20261208, workday, u"会議", true,
            {"BEGIN:VEVENT", "DTEND;VALUE=DATE:20261209"});
        row("event, blanks around", 20261208, workday, u"\t会議 ", true,
            {"BEGIN:VEVENT", "X-ZEDU-LEADING-BLANKS:9", "X-ZEDU-TRAILING-BLANKS:20"});
        row("public holiday", 20270101, holiday, u"", false,
            {"UID:20270101-holiday@zedu", "SUMMARY:元日", "TRANSP:TRANSPARENT"});
        row("weekday made a holiday", 20261208, holiday, u"", false,
            {"UID:20261208-holiday@zedu", "SUMMARY:休日"});
        row("holiday with an entry", 20270101, holiday, u"初詣", true,
            {"UID:20270101-entry@zedu", "SUMMARY:初詣", "UID:20270101-holiday@zedu"});
    }

    // The restriction check runs on the first component of each shape only;
    // every shape the writer makes passes it, here again on the file as
    // libical's parser reads it (ExportCalendar checks every file).
    void everyComponentShapePassesTheCheck()
    {
        QFETCH(int, key);
        QFETCH(QVariant, workday);
        QFETCH(QString, text);
        QFETCH(bool, events);
        QFETCH(QByteArrayList, lines);
        QVERIFY(SetDay(gDataPath, key, workday, text));
        ExportInfo info;
        info.icsEvents = events;
        info.icsHolidays = true;
        const QString target = path("out.ics");
        const ExportOutcome outcome =
            ExportCalendar(ExportFormat::ICalendar, target, DaySelection{0, 0, false, {key}}, info);
        QCOMPARE(outcome.days, 1);
        const QByteArray bytes = readFile(target);
        for (const QByteArray& line : lines)
            QVERIFY2(bytes.contains("\r\n" + line + "\r\n"), line.constData());
    }

    void failedShapeCheckStopsTheWriting()
    {
        // A calendar with METHOD:PUBLISH wants an ORGANIZER in every
        // component, which the entries have not: the first one fails.
        const std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> calendar(
            icalcomponent_new_vcalendar(), icalcomponent_free);
        icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
        icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//test//JA"));
        const std::vector<ICalendarDay> days = {{20261207, QStringLiteral("会議"), QString()}};
        const QDateTime stamp(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
        QVERIFY(ICalendarComponents(calendar.get(), stamp, true)
                    .render(days)
                    .contains("SUMMARY:会議\r\n"));
        icalcomponent_add_property(calendar.get(), icalproperty_new_method(ICAL_METHOD_PUBLISH));
        try {
            ICalendarComponents(calendar.get(), stamp, true).render(days);
            QFAIL("written without the check");
        } catch (const ExchangeError& e) {
            QVERIFY2(
                e.text().startsWith(QStringLiteral("iCalendar の検査で誤りが見つかりました。")),
                qPrintable(e.text()));
        }
    }

    void iCalendarInBatches_data()
    {
        QTest::addColumn<int>("stopAt"); // 0: never; > 0: cancelled; < 0: fails
        QTest::newRow("complete") << 0;
        QTest::newRow("cancelled") << 1000;
        QTest::newRow("fails") << -1000;
    }

    // Four years of entries go out in several batches made side by side:
    // the file holds them in the days' order, and a stop in the middle
    // leaves nothing.
    void iCalendarInBatches()
    {
        QFETCH(int, stopAt);
        QFile::remove(gDataPath);
        QVERIFY(MakeCalendarFile(gDataPath, 202612, 203011));
        QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral(
            "UPDATE Master SET 内容 = '日記 ' || 日付 || char(13, 10) || '二行目'")));
        const QString target = path("out.ics");
        writeFile(target, "before");
        const QStringList before = FolderNames(dir->path());
        int calls = 0;
        auto progress = [&](int, int) {
            if (++calls == std::abs(stopAt) && stopAt < 0)
                throw ExchangeError(QStringLiteral("書き込めませんでした。"));
            return calls != stopAt;
        };
        const DaySelection all = Months(202612, 203011);
        if (stopAt < 0) {
            QVERIFY_THROWS_EXCEPTION(
                ExchangeError, ExportCalendar(ExportFormat::ICalendar, target, all, {}, progress));
        } else {
            const ExportOutcome outcome =
                ExportCalendar(ExportFormat::ICalendar, target, all, {}, progress);
            QCOMPARE(outcome.cancelled, stopAt > 0);
            if (stopAt == 0) {
                QCOMPARE(outcome.days, 1461);
                const ReadResult read = ICalendarReader().read(readFile(target));
                QVERIFY2(read.ok(), qPrintable(read.error));
                QCOMPARE(read.file.days.size(), 1461);
                const QByteArray bytes = readFile(target);
                qsizetype at = 0;
                for (const DayRow& day : read.file.days) {
                    QCOMPARE(*day.text, QStringLiteral("日記 %1\r\n二行目").arg(day.key));
                    // In the file in the days' order.
                    const qsizetype found = bytes.indexOf(ICalendarWriter::EntryUid(day.key), at);
                    QVERIFY2(found > at, qPrintable(QString::number(day.key)));
                    at = found;
                }
                return;
            }
        }
        QCOMPARE(FolderNames(dir->path()), before);
        QCOMPARE(readFile(target), QByteArray("before"));
    }

    void journalEntriesByDefault()
    {
        const QString target = path("out.ics");
        // Every day of December chosen: the days written are those with an
        // entry.
        const ExportOutcome outcome =
            ExportCalendar(ExportFormat::ICalendar, target, Months(202612, 202612));
        QCOMPARE(outcome.days, 2);
        const QByteArray bytes = readFile(target);
        QCOMPARE(bytes.count("BEGIN:VJOURNAL"), 2);
        QVERIFY(!bytes.contains("VEVENT"));
        QVERIFY(bytes.contains("DTSTART;VALUE=DATE:20261207\r\n"));
        QVERIFY(bytes.contains(
            "SUMMARY:10:00 会議\r\nDESCRIPTION:10:00 会議\\n# 見出し *強調*\\n\r\n"));
    }

    void cancelOrFailureLeavesNothing_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<int>("cancelAt");
        QTest::newRow("text cancelled") << ExportFormat::Text << 3;
        QTest::newRow("days cancelled") << ExportFormat::TextPerDay << 3;
        QTest::newRow("pdf cancelled") << ExportFormat::Pdf << 3;
        QTest::newRow("json fails") << ExportFormat::Json << -1;
        QTest::newRow("days fail") << ExportFormat::TextPerDay << -1;
    }

    void cancelOrFailureLeavesNothing()
    {
        QFETCH(ExportFormat, format);
        QFETCH(int, cancelAt);
        const QString target = path("out");
        if (!WritesFolder(format))
            writeFile(target, "before");
        const QStringList before = FolderNames(dir->path());
        int calls = 0;
        auto progress = [&](int, int) {
            if (++calls == cancelAt)
                return false;
            if (cancelAt < 0)
                // The disk gives way in the middle of the export.
                throw ExchangeError(QStringLiteral("書き込めませんでした。"));
            return true;
        };
        if (cancelAt > 0) {
            const ExportOutcome outcome =
                ExportCalendar(format, target, Months(202612, 202701), {}, progress);
            QVERIFY(outcome.cancelled);
        } else {
            QVERIFY_THROWS_EXCEPTION(
                ExchangeError,
                ExportCalendar(format, target, Months(202612, 202701), {}, progress));
        }
        QCOMPARE(calls, std::abs(cancelAt));
        QCOMPARE(FolderNames(dir->path()), before);
        if (!WritesFolder(format))
            QCOMPARE(readFile(target), QByteArray("before"));
    }

    void targetInAMissingFolder()
    {
        for (ExportFormat format : {ExportFormat::Csv, ExportFormat::TextPerDay}) {
            try {
                ExportCalendar(format, path("missing/out"), Months(202612, 202612));
                QFAIL("no error");
            } catch (const ExchangeError& e) {
                QVERIFY2(e.text().startsWith(QStringLiteral("書き出し先")), qPrintable(e.text()));
            }
        }
        QCOMPARE(FolderNames(dir->path()), QStringList({QStringLiteral("Data.vad")}));
    }
};

ZEDU_TEST_MAIN(tst_Formats)
#include "tst_Formats.moc"
