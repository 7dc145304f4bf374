// Times taking the diary out and bringing it back on a calendar of 100 years
// (2000-2099, 36,525 days) with an entry of about 300 Japanese characters on
// every day:
//   - the export to text, CSV and JSON through the library beside plain SQL
//     reading the same rows and writing the same bytes with a QFile
//     (export ratio);
//   - the iCalendar export beside the text export of the same days
//     (ics ratio);
//   - the import of the JSON and of the CSV file beside plain SQL updating
//     the same rows in one transaction (import ratio);
//   - a PDF of 365 days in the daily layout (pages and seconds);
//   - a PDF of the 100 years in the daily layout, median of 3 runs (pdf
//     pages per second).
// Run from a release build: build/release/bench/zedu_bench_exchange

#include "bench/BenchTiming.h"
#include "bench/BenchWindow.h"
#include "exchange/ExportJob.h"
#include "exchange/ImportFile.h"
#include "platform/Globals.h"
#include "store/FileSession.h"
#include "store/MasterImport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

QString weekName(int week)
{
    return QStringLiteral("日月火水木金土").mid(week, 1);
}

// The plain versions of the three formats: the same bytes as the library's
// writers, written straight from the rows.
QByteArray plainText(int key, int week, const QVariant& workday, const QString& text)
{
    QString out = QStringLiteral("%1/%2/%3(%4)")
                      .arg(key / 10000, 4, 10, QLatin1Char('0'))
                      .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
                      .arg(key % 100, 2, 10, QLatin1Char('0'))
                      .arg(weekName(week));
    if (!workday.isNull() && !workday.toBool())
        out += QStringLiteral("（休日）");
    out += QLatin1Char('\n');
    if (!text.isEmpty()) {
        QString body = text;
        body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (!body.endsWith(QLatin1Char('\n')))
            body += QLatin1Char('\n');
        out += body;
    }
    return out.toUtf8();
}

QByteArray plainCsv(int key, int week, const QVariant& workday, const QString& text)
{
    QByteArray field = text.toUtf8();
    field.replace('"', "\"\"");
    return QByteArray::number(key) + ',' + QByteArray::number(week) + ',' +
           (workday.isNull()   ? ""
            : workday.toBool() ? "1"
                               : "0") +
           ",\"" + field + "\"\r\n";
}

QByteArray plainJson(int key, int week, const QVariant& workday, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size() + 16);
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '"':
            escaped += "\\\"";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            escaped += c;
        }
    }
    return "{\"key\":" + QByteArray::number(key) + ",\"weekday\":" + QByteArray::number(week) +
           ",\"workday\":" +
           (workday.isNull()   ? "null"
            : workday.toBool() ? "true"
                               : "false") +
           ",\"text\":\"" + escaped + "\"}";
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

int main(int argc, char* argv[])
{
    // The application (PDF needs its fonts), a throw-away home and the
    // 100-year calendar; the files written go beside it.
    WindowBench bench(argc, argv);
    if (!bench.ready())
        return 1;
    QTemporaryDir dir;
    QSqlDatabase plain =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plain"));
    plain.setDatabaseName(gDataPath);
    plain.open();
    // About 300 characters a day in five lines, a little different each day.
    const QString line = QStringLiteral("今日は朝から雨が降っていたので、駅まで歩いて傘をさした。"
                                        "会議の資料を作り直し、夕方に提出した。");
    {
        QSqlQuery fill(plain);
        fill.exec(QStringLiteral("BEGIN"));
        fill.prepare(QStringLiteral("UPDATE Master SET 内容 = ? || char(13, 10) || ? || "
                                    "char(13, 10) || ? || char(13, 10) || ? || char(13, 10) || ?"));
        fill.addBindValue(line + QStringLiteral("一"));
        fill.addBindValue(line + QStringLiteral("二"));
        fill.addBindValue(line + QStringLiteral("三"));
        fill.addBindValue(line + QStringLiteral("四"));
        fill.addBindValue(line + QStringLiteral("五"));
        fill.exec();
        QSqlQuery(plain).exec(QStringLiteral("COMMIT"));
    }

    constexpr int runs = 7;
    auto nothing = [] {
    };
    const QString target = dir.filePath(QStringLiteral("out"));
    const QString baselineTarget = dir.filePath(QStringLiteral("plain"));
    auto exportWith = [&](ExportFormat format, const QString& to) {
        return [&, format, to] {
            FileSession session;
            ExportRequest request;
            request.format = format;
            request.target = to;
            request.selection = DaySelection{200001, 209912, false, {}};
            request.info.stamp = QDateTime(QDate(2050, 6, 15), QTime(9, 0), Qt::UTC);
            RunExport(session.db(), request);
        };
    };
    using Plain = QByteArray (*)(int, int, const QVariant&, const QString&);
    auto plainExport = [&](const QByteArray& head, Plain day, const char* between,
                           const QByteArray& tail) {
        return [&, head, day, between, tail] {
            QFile out(baselineTarget);
            out.open(QIODevice::WriteOnly | QIODevice::Truncate);
            QSqlQuery q(plain);
            q.setForwardOnly(true);
            q.prepare(QStringLiteral("SELECT 日付, 曜日, 平日, 内容 FROM Master WHERE 日付 >= ? "
                                     "AND 日付 < ? ORDER BY 日付"));
            q.addBindValue(20000100);
            q.addBindValue(21000100);
            q.exec();
            QByteArray buffer = head;
            bool first = true;
            while (q.next()) {
                if (!first)
                    buffer += between;
                first = false;
                buffer +=
                    day(q.value(0).toInt(), q.value(1).toInt(), q.value(2), q.value(3).toString());
                if (buffer.size() > 1 << 16) {
                    out.write(buffer);
                    buffer.clear();
                }
            }
            buffer += tail;
            out.write(buffer);
        };
    };
    struct Row
    {
        const char* name;
        ExportFormat format;
        QByteArray head;
        Plain day;
        const char* between;
        QByteArray tail;
    };
    const Row rows[] = {
        {"テキストに書き出し", ExportFormat::Text, "", plainText, "\n", ""},
        {"CSV に書き出し", ExportFormat::Csv, "\xEF\xBB\xBF日付,曜日,平日,内容\r\n", plainCsv, "",
         ""},
        {"JSON に書き出し", ExportFormat::Json,
         "{\"format\":\"zedu-diary\",\"version\":1,\"range\":{\"first\":200001,\"last\":209912},"
         "\n\"days\":[\n",
         plainJson, ",\n", "\n]}\n"},
    };
    for (const Row& row : rows) {
        const auto measured = exportWith(row.format, target);
        const auto baseline = plainExport(row.head, row.day, row.between, row.tail);
        measured();
        baseline();
        if (digest(target) != digest(baselineTarget)) {
            std::fprintf(stderr, "%s: the baseline writes other bytes\n", row.name);
            return 1;
        }
        report(row.name, median(runs, nothing, measured), median(runs, nothing, baseline),
               "library", "export ratio");
    }

    // iCalendar beside the library's own text export of the same days
    // (ics ratio): libical builds and writes every component.
    report("iCalendar に書き出し",
           median(runs, nothing, exportWith(ExportFormat::ICalendar, target)),
           median(runs, nothing, exportWith(ExportFormat::Text, baselineTarget)), "library",
           "ics ratio");

    // The import of the JSON and of the CSV file into the calendar whose
    // entries were emptied first (not timed), beside plain SQL writing the
    // same values, read before the timing (import ratio). The library's
    // time includes reading and checking the file.
    auto emptied = [&] {
        QSqlQuery(plain).exec(QStringLiteral("UPDATE Master SET 内容 = ''"));
    };
    const std::pair<const char*, ExportFormat> imports[] = {
        {"JSON から取り込み (36,525 日)", ExportFormat::Json},
        {"CSV から取り込み (36,525 日)", ExportFormat::Csv}};
    for (const auto& [name, format] : imports) {
        const QString file =
            dir.filePath(format == ExportFormat::Json ? QStringLiteral("diary.json")
                                                      : QStringLiteral("diary.csv"));
        exportWith(format, file)();
        const ReadResult parsed = ReadImportFile(file);
        if (!parsed.ok() || parsed.file.days.size() != 36525) {
            std::fprintf(stderr, "%s: the file does not read back\n", name);
            return 1;
        }
        report(name,
               median(runs, emptied,
                      [&] {
                          const ReadResult read = ReadImportFile(file);
                          ApplyImport(read.file.days, {ExistingEntries::Replace, false, true});
                      }),
               median(runs, emptied,
                      [&] {
                          QSqlQuery q(plain);
                          q.exec(QStringLiteral("BEGIN"));
                          q.prepare(QStringLiteral(
                              "UPDATE Master SET 平日 = ?, 内容 = ? WHERE 日付 = ?"));
                          for (const DayRow& day : parsed.file.days) {
                              q.addBindValue(day.workday ? QVariant(*day.workday) : QVariant());
                              q.addBindValue(*day.text);
                              q.addBindValue(day.key);
                              q.exec();
                          }
                          QSqlQuery(plain).exec(QStringLiteral("COMMIT"));
                      }),
               "import", "import ratio");
    }

    // A year on paper.
    QElapsedTimer timer;
    timer.start();
    ExportOutcome pdf;
    {
        FileSession session;
        ExportRequest request;
        request.format = ExportFormat::Pdf;
        request.target = dir.filePath(QStringLiteral("year.pdf"));
        request.selection = DaySelection{205001, 205012, false, {}};
        request.info.print = {PageLayout::Daily, 10};
        pdf = RunExport(session.db(), request);
    }
    std::printf("%-28s %9.3f ms  %d pages, %d days\n", "PDF 日ごと (365 日)",
                timer.nsecsElapsed() / 1e6, pdf.pages, pdf.days);

    // A hundred years on paper: the pages the window's progress and the
    // command line wait for.
    std::vector<double> seconds;
    for (int run = 0; run < 3; ++run) {
        FileSession session;
        ExportRequest request;
        request.format = ExportFormat::Pdf;
        request.target = dir.filePath(QStringLiteral("century.pdf"));
        request.selection = DaySelection{200001, 209912, false, {}};
        request.info.print = {PageLayout::Daily, 10};
        timer.restart();
        pdf = RunExport(session.db(), request);
        seconds.push_back(timer.nsecsElapsed() / 1e9);
    }
    const double century = medianOf(seconds);
    std::printf("%-28s %9.3f s   %d pages, %d days  pdf pages per second %.1f\n",
                "PDF 日ごと (36,525 日)", century, pdf.pages, pdf.days, pdf.pages / century);
    plain.close();
    plain = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("plain"));
    gDatabase.close();
    return 0;
}
