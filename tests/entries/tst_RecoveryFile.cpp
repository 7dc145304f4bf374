// Recovery files: one owner-only file per entry that could not be written,
// with its day, time and text, reported once by the next start.

#include "entries/RecoveryFile.h"
#include "platform/Clock.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>

class tst_RecoveryFile : public QObject
{
    Q_OBJECT

    static QString read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    void cleanup()
    {
        QDir(RecoveryFolder()).removeRecursively();
        Clock::setTodayForTesting(std::nullopt);
    }

    void entriesAreKeptAndReportedOnce()
    {
        Clock::setTodayForTesting(QDate(2026, 12, 7));
        QVERIFY(RecoveryFolder().startsWith(qEnvironmentVariable("ZEDU_TEST_SCRATCH")));
        const QString first = KeepForRecovery(20261207, QStringLiteral("一行目\r\n二行目"));
        const QString second = KeepForRecovery(20261207, QStringLiteral("同じ秒にもう一つ"));
        QVERIFY(!first.isEmpty());
        QVERIFY(first != second);
        QVERIFY(first.endsWith(QLatin1String(".txt.new")));
        QVERIFY(OwnerOnly(first));
        QVERIFY(OwnerOnly(RecoveryFolder()));
        const QString body = read(first);
        QVERIFY(body.startsWith(QStringLiteral("日付 2026/12/07\n時刻 2026/12/07 ")));
        QVERIFY(body.endsWith(QStringLiteral("\n\n一行目\n二行目\n")));

        QStringList reported = TakeNewRecoveryFiles();
        QCOMPARE(reported.size(), 2);
        QVERIFY(reported.contains(first.chopped(4)));
        QVERIFY(reported.contains(second.chopped(4)));
        QCOMPARE(read(first.chopped(4)), body);
        QVERIFY(TakeNewRecoveryFiles().isEmpty());
        QCOMPARE(
            RecoveryNoticeText(reported),
            QStringLiteral("前回の終了時に書き込めなかった予定を、次のファイルに残しました。") +
                QLatin1Char('\r') + QDir::toNativeSeparators(reported[0]) + QLatin1Char('\r') +
                QDir::toNativeSeparators(reported[1]));
    }
};

ZEDU_TEST_MAIN(tst_RecoveryFile)
#include "tst_RecoveryFile.moc"
