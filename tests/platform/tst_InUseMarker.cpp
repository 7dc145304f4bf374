// The mark beside a calendar that says on which computer it is open: which
// marks a start warns about, and how a running program writes, refreshes and
// removes its own.

#include "platform/InUseMarker.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QTemporaryDir>

namespace {

const QString kHere = QStringLiteral("desk-at-home");
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(9, 30), Qt::UTC);

QByteArray markOf(const QString& host, const QDateTime& written)
{
    return host.toUtf8() + '\n' + written.toString(Qt::ISODateWithMs).toUtf8() + '\n';
}

} // namespace

class tst_InUseMarker : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;

    QString calendar() const { return folder->filePath(QStringLiteral("Data.vad")); }
    QString markPath() const { return calendar() + QStringLiteral(".inuse"); }

private slots:
    void init() { folder = std::make_unique<QTemporaryDir>(); }
    void cleanup() { InUseMarker::setRefreshIntervalForTesting(0); }

    void marksAStartWarnsAbout_data()
    {
        QTest::addColumn<QByteArray>("content"); // "(none)": no file at all
        QTest::addColumn<QString>("warnsOf");    // empty: no warning
        const QString other = QStringLiteral("laptop");
        QTest::newRow("another computer's, just written")
            << markOf(other, kNow) << QStringLiteral("laptop");
        QTest::newRow("another computer's, nine minutes old")
            << markOf(other, kNow.addSecs(-9 * 60)) << QStringLiteral("laptop");
        QTest::newRow("another computer's, eleven minutes old")
            << markOf(other, kNow.addSecs(-11 * 60)) << QString();
        QTest::newRow("another computer's, written in another time zone")
            << markOf(other, kNow.addSecs(-60).toOffsetFromUtc(-5 * 3600))
            << QStringLiteral("laptop");
        QTest::newRow("another computer whose clock runs five minutes ahead")
            << markOf(other, kNow.addSecs(5 * 60)) << QStringLiteral("laptop");
        QTest::newRow("another computer whose clock runs an hour ahead")
            << markOf(other, kNow.addSecs(3600)) << QString();
        QTest::newRow("this computer's own, left by a crash") << markOf(kHere, kNow) << QString();
        QTest::newRow("this computer's own, its name in capitals")
            << markOf(kHere.toUpper(), kNow) << QString();
        QTest::newRow("no time") << (other.toUtf8() + "\n") << QString();
        QTest::newRow("a time that is none") << (other.toUtf8() + "\nyesterday\n") << QString();
        QTest::newRow("no name") << markOf(QString(), kNow) << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("no mark") << QByteArray("(none)") << QString();
    }
    void marksAStartWarnsAbout()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, warnsOf);
        if (content != "(none)")
            writeFile(markPath(), content);
        const InUseMarker marker(calendar(), kHere);
        const std::optional<InUseMarker::Mark> other = marker.otherComputer(kNow);
        QCOMPARE(other ? other->host : QString(), warnsOf);
        // Looking writes nothing.
        QCOMPARE(QFileInfo::exists(markPath()), content != "(none)");
    }

    void writtenMarkReadsBack()
    {
        InUseMarker marker(calendar(), kHere);
        const QDateTime local = kNow.toOffsetFromUtc(9 * 3600).addMSecs(123);
        QVERIFY(marker.write(local));
        const std::optional<InUseMarker::Mark> mark = marker.read();
        QVERIFY(mark);
        QCOMPARE(mark->host, kHere);
        QCOMPARE(mark->written, local);
        // The same moment for every reader, whatever its time zone.
        QCOMPARE(readFile(markPath()), markOf(kHere, local.toUTC()));
        // Another computer reads it as another's; this one as its own.
        QCOMPARE(InUseMarker(calendar(), QStringLiteral("laptop")).otherComputer(local)->host,
                 kHere);
        QVERIFY(!marker.otherComputer(local));
        // Nothing but the mark beside the calendar.
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Data.vad.inuse")});
    }

    void runningMarkIsRefreshedAndRemoved_data()
    {
        QTest::addColumn<bool>("takenOver");
        QTest::newRow("this computer's mark at the end") << false;
        QTest::newRow("another computer wrote its own meanwhile") << true;
    }
    void runningMarkIsRefreshedAndRemoved()
    {
        QFETCH(bool, takenOver);
        // A crash's mark of this computer is simply replaced.
        writeFile(markPath(), markOf(kHere, kNow.addDays(-3)));
        InUseMarker::setRefreshIntervalForTesting(20);
        auto marker = std::make_unique<InUseMarker>(calendar(), kHere);
        marker->start();
        QVERIFY(marker->isActive());
        QVERIFY(marker->read()->written > kNow.addDays(-1));

        // Written again while it runs, the time moving on.
        writeFile(markPath(), markOf(kHere, kNow.addDays(-3)));
        QTRY_VERIFY(marker->read() && marker->read()->written > kNow.addDays(-1));

        if (takenOver) {
            // No write of this computer's between the other's and the end.
            InUseMarker::setRefreshIntervalForTesting(60 * 60 * 1000);
            marker->stop();
            marker->start();
            writeFile(markPath(), markOf(QStringLiteral("laptop"), kNow));
        }
        marker.reset();
        QCOMPARE(QFileInfo::exists(markPath()), takenOver);
        if (takenOver)
            QCOMPARE(readFile(markPath()), markOf(QStringLiteral("laptop"), kNow));
    }

    void markThatCannotBeWrittenStandsInNoOnesWay()
    {
        // The calendar's folder is gone (a sync folder unmounted).
        InUseMarker marker(folder->filePath(QStringLiteral("gone/Data.vad")), kHere);
        QVERIFY(!marker.write(kNow));
        marker.start();
        QVERIFY(marker.isActive());
        marker.stop();
        QVERIFY(!QFileInfo::exists(folder->filePath(QStringLiteral("gone"))));
    }
};

ZEDU_TEST_MAIN(tst_InUseMarker)
#include "tst_InUseMarker.moc"
