#include "entries/RecoveryFile.h"
#include "entries/clsPlan.h"
#include "platform/Globals.h"
#include "platform/Running.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryDir>

class tst_clsPlan : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<QPlainTextEdit> box;
    RecordingHost host;
    std::unique_ptr<clsPlan> plan;

    QString stored(int key) const
    {
        return ReadDayField(gDataPath, key, QStringLiteral("内容")).toString();
    }

private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        gDataPath = folder->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        QVERIFY(MakeCalendarFile(gDataPath, 199907, 199908));
        QVERIFY(WriteDayEntry(gDataPath, 19990715, QStringLiteral("一行目\r\n二行目")));
        box = std::make_unique<QPlainTextEdit>();
        plan = std::make_unique<clsPlan>(box.get(), &host);
        // As the main window does: every change of the box marks it edited.
        connect(box.get(), &QPlainTextEdit::textChanged, this, [this] { plan->Dirty = true; });
        host.messages.clear();
    }

    void cleanup()
    {
        QDir(RecoveryFolder()).removeRecursively();
        plan.reset();
        box.reset();
        gDatabase.close();
        folder.reset();
    }

    void loadShowsTheEntryWithoutCountingAsAnEdit()
    {
        plan->Load(19990715);
        QCOMPARE(box->toPlainText(), QStringLiteral("一行目\n二行目"));
        QVERIFY(!box->isHidden());
        QVERIFY(!plan->Dirty);
        QCOMPARE(plan->DateIndex(), 19990715);
        QCOMPARE(host.messages,
                 (QStringList{QStringLiteral("予定を読み込んでいます。"), QString()}));
        QVERIFY(!gDatabase.isOpen());
    }

    void dayWithoutRecordHidesAndEmptiesTheBox()
    {
        plan->Load(19990715);
        for (int key : {19990700, 19990631, 19991001, 19990732}) {
            plan->Load(key);
            QVERIFY(box->isHidden());
            QCOMPARE(box->toPlainText(), QString());
            QVERIFY(!plan->Dirty);
        }
    }

    void saveWithoutEditDoesNothing()
    {
        plan->Load(19990715);
        host.messages.clear();
        plan->Save();
        QVERIFY(host.messages.isEmpty());
    }

    void saveWritesUnderTheLoadedDay()
    {
        plan->Load(19990716);
        box->setPlainText(QStringLiteral("予定\n次の行"));
        QVERIFY(plan->Dirty);
        host.messages.clear();
        plan->Save();
        QVERIFY(!plan->Dirty);
        QCOMPARE(host.messages,
                 (QStringList{QStringLiteral("予定を書き込んでいます。"), QString()}));
        QCOMPARE(stored(19990716), QStringLiteral("予定\r\n次の行"));
        QCOMPARE(stored(19990715), QStringLiteral("一行目\r\n二行目"));

        // Clearing the box stores the empty text.
        plan->Load(19990715);
        box->clear();
        plan->Save();
        QCOMPARE(stored(19990715), QString());
        QVERIFY(ReadDayField(gDataPath, 19990715, QStringLiteral("内容")).isValid());
    }

    void editOnAHiddenBoxIsDroppedWithoutError()
    {
        plan->Load(19991001);
        box->setPlainText(QStringLiteral("x"));
        plan->Save();
        QVERIFY(!plan->Dirty);
        QVERIFY(!ReadDayField(gDataPath, 19991001, QStringLiteral("内容")).isValid());
    }

    void failedSaveKeepsTheEdit()
    {
        plan->Load(19990715);
        box->setPlainText(QStringLiteral("大事な予定"));
        QVERIFY(QFile::rename(gDataPath, gDataPath + QStringLiteral(".away")));
        host.messages.clear();
        QVERIFY_THROWS_EXCEPTION(EngineError, plan->Save());
        QVERIFY(plan->Dirty);
        QCOMPARE(box->toPlainText(), QStringLiteral("大事な予定"));
        // The busy phase was ended all the same.
        QCOMPARE(host.messages.last(), QString());
        QVERIFY(!QFile::exists(gDataPath));
        QVERIFY(QFile::rename(gDataPath + QStringLiteral(".away"), gDataPath));
        plan->Save();
        QCOMPARE(stored(19990715), QStringLiteral("大事な予定"));
    }

    void failedLoadLeavesNothingToTypeInto()
    {
        plan->Load(19990715);
        QVERIFY(QFile::rename(gDataPath, gDataPath + QStringLiteral(".away")));
        QVERIFY_THROWS_EXCEPTION(EngineError, plan->Load(19990716));
        QVERIFY(box->isHidden());
        QVERIFY(!plan->Dirty);
        QCOMPARE(host.messages.last(), QString());
        QVERIFY(QFile::rename(gDataPath + QStringLiteral(".away"), gDataPath));
    }

    void dayChangedOnBothSidesKeepsBoth_data()
    {
        QTest::addColumn<bool>("removed");
        QTest::newRow("changed there") << false;
        QTest::newRow("removed there") << true;
    }
    void dayChangedOnBothSidesKeepsBoth()
    {
        QFETCH(bool, removed);
        plan->Load(19990715);
        if (removed)
            QVERIFY(SqlPeek(gDataPath).exec(QStringLiteral("DELETE FROM Master WHERE 日付 = ?"),
                                            {19990715}));
        else
            QVERIFY(WriteDayEntry(gDataPath, 19990715, QStringLiteral("向こうで変えた")));
        box->setPlainText(QStringLiteral("こちらで変えた"));
        plan->Save();
        // Nothing is overwritten: the file's text stays and is shown.
        QCOMPARE(stored(19990715), removed ? QString() : QStringLiteral("向こうで変えた"));
        QCOMPARE(box->toPlainText(), removed ? QString() : QStringLiteral("向こうで変えた"));
        QCOMPARE(box->isHidden(), removed);
        QVERIFY(!plan->Dirty);
        const QStringList kept = plan->TakeConflictFiles();
        QCOMPARE(kept.size(), 1);
        QFile file(kept[0]);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll()).endsWith(QStringLiteral("\n\nこちらで変えた\n")));
        QVERIFY(plan->TakeConflictFiles().isEmpty());
        if (removed)
            return;
        // What is typed next goes on from the file's text.
        box->appendPlainText(QStringLiteral("追記"));
        plan->Save();
        QCOMPARE(stored(19990715), QStringLiteral("向こうで変えた\r\n追記"));
        QVERIFY(plan->TakeConflictFiles().isEmpty());
    }

    void recoveryFilesAreReportedOnceUnderNamesOfTheirOwn()
    {
        // One left half-written by a killed program, one complete.
        const QString folder = QFileInfo(gDataPath).absolutePath();
        const QString half = folder + QStringLiteral("/Entry-19990715-20261207-101010.txt.part");
        const QString whole = folder + QStringLiteral("/Entry-19990716-20261207-101010.txt");
        for (const QString& path : {half, whole}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("日付 1999/07/15\n");
        }
        const QStringList found = TakeNewRecoveryFiles();
        QCOMPARE(found, (QStringList{half.chopped(5), whole}));
        QVERIFY(!QFile::exists(half));
        QVERIFY(TakeNewRecoveryFiles().isEmpty());
    }

    void recoveryFilesLeaveTheTemporaryFolder()
    {
        const QString temp = folder->filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(temp));
        const QByteArray tmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp));
        const auto restore = qScopeGuard([&] { qputenv("TMPDIR", tmpdir); });
        // Neither the recovery folder (a file has its name) nor the
        // calendar's (gone) takes the entry's file: the temporary folder does.
        gDataPath = folder->filePath(QStringLiteral("gone/Data.vad"));
        QVERIFY(QDir().mkpath(QFileInfo(RecoveryFolder()).absolutePath()));
        QVERIFY(QFile(RecoveryFolder()).open(QIODevice::WriteOnly));
        PendingRecovery pending;
        const QString first = pending.keep(19990715, QStringLiteral("一時の予定"));
        QCOMPARE(QFileInfo(first).absolutePath(), temp);
        // Once the recovery folder can be made, the same text moves there,
        // and so does, at the next start, a file an earlier run left.
        QVERIFY(QFile::remove(RecoveryFolder()));
        const QString moved = pending.keep(19990715, QStringLiteral("一時の予定"));
        QCOMPARE(QFileInfo(moved).absolutePath(), RecoveryFolder());
        QCOMPARE(ReadRecoveryFile(moved).text, QStringLiteral("一時の予定"));
        const QString name = QStringLiteral("Entry-19990716-20261207-101010.txt");
        QVERIFY(QFile::rename(moved, temp + QLatin1Char('/') + name));
        QCOMPARE(TakeNewRecoveryFiles(), QStringList{RecoveryFolder() + QLatin1Char('/') + name});
        QCOMPARE(QDir(temp).entryList(QDir::Files), QStringList());
    }

    void lineBreakConversion()
    {
        QCOMPARE(clsPlan::ToBoxText(QStringLiteral("a\r\nb\r\n")), QStringLiteral("a\nb\n"));
        QCOMPARE(clsPlan::ToStoredText(QStringLiteral("a\nb\n")), QStringLiteral("a\r\nb\r\n"));
        QCOMPARE(clsPlan::ToStoredText(clsPlan::ToBoxText(QStringLiteral("𠮷\r\n\r\nx"))),
                 QStringLiteral("𠮷\r\n\r\nx"));
    }

    void quietSaveShowsNothing()
    {
        plan->Load(19990715);
        box->setPlainText(QStringLiteral("静かに"));
        host.messages.clear();
        plan->SaveQuietly();
        QCOMPARE(stored(19990715), QStringLiteral("静かに"));
        QVERIFY(!plan->Dirty);
        QVERIFY(host.messages.isEmpty());
        QVERIFY(!gDatabase.isOpen());

        // A failure keeps the edit for the next save, and still shows nothing.
        box->setPlainText(QStringLiteral("あとで"));
        QVERIFY(QFile::rename(gDataPath, gDataPath + QStringLiteral(".away")));
        QVERIFY_THROWS_EXCEPTION(EngineError, plan->SaveQuietly());
        QVERIFY(plan->Dirty);
        QVERIFY(host.messages.isEmpty());
        QVERIFY(QFile::rename(gDataPath + QStringLiteral(".away"), gDataPath));
        plan->Save();
        QCOMPARE(stored(19990715), QStringLiteral("あとで"));
    }
};

ZEDU_TEST_MAIN(tst_clsPlan)
#include "tst_clsPlan.moc"
