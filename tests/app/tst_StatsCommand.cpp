// zedu --stats: the real program run as a script would, without a display,
// on a calendar with awkward entries whose figures are worked out by hand.

#include "platform/Globals.h"
#include "store/Argon2Kdf.h"
#include "store/CalendarEncryption.h"
#include "store/EncryptedImage.h"
#include "store/SecureBytes.h"
#include "tests/insight/AwkwardDiary.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class tst_StatsCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString calendar() const { return dir->filePath(QStringLiteral("Data.vad")); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(MakeCalendarFile(calendar(), 202312, 202403));
        for (const auto& [key, text] : AwkwardEntries())
            QVERIFY(WriteDayEntry(calendar(), key, text));
    }

    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");   // all of standard output
        QTest::addColumn<QString>("error"); // how standard error begins
        const QString all =
            u"{\"from\":\"2023-12\",\"to\":\"2024-03\",\"days\":122,\"days_written\":9,"
            "\"characters\":55,\"longest_entry\":{\"date\":\"2024-01-02\",\"characters\":11},"
            "\"longest_streak\":{\"days\":4,\"from\":\"2024-01-01\",\"to\":\"2024-01-04\"},"
            "\"current_streak\":0,\"months\":["
            "{\"month\":\"2023-12\",\"days_written\":1,\"characters\":6},"
            "{\"month\":\"2024-01\",\"days_written\":4,\"characters\":27},"
            "{\"month\":\"2024-02\",\"days_written\":2,\"characters\":8},"
            "{\"month\":\"2024-03\",\"days_written\":2,\"characters\":14}]}\n"_s;
        // Today lies after the calendar: the current streak counts back
        // from the last day of the range, 02/29 and 02/28.
        const QString twoMonths =
            u"{\"from\":\"2024-01\",\"to\":\"2024-02\",\"days\":60,\"days_written\":6,"
            "\"characters\":35,\"longest_entry\":{\"date\":\"2024-01-02\",\"characters\":11},"
            "\"longest_streak\":{\"days\":4,\"from\":\"2024-01-01\",\"to\":\"2024-01-04\"},"
            "\"current_streak\":2,\"months\":["
            "{\"month\":\"2024-01\",\"days_written\":4,\"characters\":27},"
            "{\"month\":\"2024-02\",\"days_written\":2,\"characters\":8}]}\n"_s;
        // The figures in text for people by default (their layout is the
        // insight tests'), in JSON when asked.
        QTest::newRow("text")
            << QStringList{u"--stats"_s, u"--to"_s, u"202401"_s} << false << 0
            << u"期間              2023/12～2024/01\n登録されている日  62日\n"
               "記録した日        5日\n文字数            33文字\n1日の平均         7文字\n"
               "最も長い日        2024/01/02（11文字）\n"
               "最長の連続        4日（2024/01/01～2024/01/04）\n現在の連続        0日\n\n"
               "月       記録した日  文字数\n2023/12           1       6\n"
               "2024/01           4      27\n"_s
            << QString();
        QTest::newRow("json") << QStringList{u"--stats"_s, u"--format"_s, u"json"_s} << false << 0
                              << all << QString();
        QTest::newRow("json of two months")
            << QStringList{u"--format=json"_s, u"--stats"_s, u"--from"_s, u"202401"_s,
                           u"--to=202402"_s}
            << false << 0 << twoMonths << QString();
        QTest::newRow("encrypted, password from standard input")
            << QStringList{u"--stats"_s, u"--format"_s, u"json"_s, u"--password-fd"_s, u"0"_s}
            << true << 0 << all << QString();
        QTest::newRow("months before the calendar")
            << QStringList{u"--stats"_s, u"--format"_s, u"json"_s,  u"--from"_s,
                           u"202310"_s,  u"--to"_s,     u"202310"_s}
            << false << 0
            << u"{\"from\":\"2023-10\",\"to\":\"2023-10\",\"days\":0,\"days_written\":0,"
               "\"characters\":0,\"longest_entry\":null,\"longest_streak\":null,"
               "\"current_streak\":0,\"months\":[{\"month\":\"2023-10\",\"days_written\":0,"
               "\"characters\":0}]}\n"_s
            << QString();
        QTest::newRow("no such format")
            << QStringList{u"--stats"_s, u"--format"_s, u"csv"_s} << false << 2 << QString()
            << u"zedu: --stats の形式「csv」はありません（text か json）。"_s;
        QTest::newRow("months the wrong way round")
            << QStringList{u"--stats"_s, u"--from"_s, u"202403"_s, u"--to"_s, u"202312"_s} << false
            << 2 << QString() << u"zedu: --from の月が --to の月より後です。"_s;
        QTest::newRow("an export option")
            << QStringList{u"--stats"_s, u"--entries-only"_s} << false << 2 << QString()
            << u"zedu: --stats に --entries-only というオプションはありません。"_s;
        QTest::newRow("no calendar")
            << QStringList{u"--stats"_s, u"--calendar"_s, u"missing.vad"_s} << false << 1
            << QString() << u"zedu: 暦ファイルが見つかりません。"_s;
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, encrypted);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, error);
        if (encrypted) {
            gDataPath = calendar();
            QString password = QStringLiteral("合言葉");
            EncryptCalendar(SecureBytes::takeText(password), Argon2Kdf::withLimits(1, 8));
            ForgetCalendarKeys();
        }
        if (!arguments.contains(u"--calendar"_s))
            arguments << u"--calendar"_s << calendar();
        const QByteArray before = FileDigest(calendar());

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir->path());
        process.start(QStringLiteral(ZEDU_PROGRAM), arguments);
        QVERIFY(process.waitForStarted());
        if (encrypted)
            process.write("合言葉\n");
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(60000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), status);
        // The first line, the path a missing calendar names left out.
        QCOMPARE(err.section(QLatin1Char('\n'), 0, 0).left(error.size()), error);
        QCOMPARE(err.isEmpty(), error.isEmpty());
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
        // Read only.
        QCOMPARE(FileDigest(calendar()), before);
    }
};

ZEDU_TEST_MAIN(tst_StatsCommand)
#include "tst_StatsCommand.moc"
