#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Globals.h"
#include "platform/basMain.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {
const QString kBadMonth =
    QStringLiteral("入力された年月は間違っています。もう一度入力して下さい。");
const QString kPrompt = QStringLiteral("開始年月を入力して下さい。");
} // namespace

class tst_basMain : public QObject
{
    Q_OBJECT

private slots:
    void addMonths_data()
    {
        QTest::addColumn<int>("ym");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("expected");
        QTest::newRow("within the year") << 199907 << 1 << 199908;
        QTest::newRow("November + 1") << 199911 << 1 << 199912;
        QTest::newRow("December + 1") << 199912 << 1 << 200001;
        QTest::newRow("July + 60") << 199907 << 60 << 200407;
        QTest::newRow("November + 60") << 199911 << 60 << 200411;
        QTest::newRow("December + 60") << 199912 << 60 << 200412;
        QTest::newRow("January + 11") << 200001 << 11 << 200012;
        QTest::newRow("January + 12") << 200001 << 12 << 200101;
        QTest::newRow("zero months") << 200005 << 0 << 200005;
        QTest::newRow("thirty years") << 202612 << 360 << 205612;
    }
    void addMonths()
    {
        QFETCH(int, ym);
        QFETCH(int, n);
        QFETCH(int, expected);
        QCOMPARE(AddMonths(ym, n), expected);
    }

    void leadingWholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("fits");
        QTest::newRow("plain") << QStringLiteral("200407") << 200407 << true;
        QTest::newRow("trailing text") << QStringLiteral("199907年") << 199907 << true;
        QTest::newRow("leading blanks") << QStringLiteral("  199907") << 199907 << true;
        QTest::newRow("fraction up") << QStringLiteral("199907.6") << 199908 << true;
        QTest::newRow("half to even, down") << QStringLiteral("199906.5") << 199906 << true;
        QTest::newRow("half to even, up") << QStringLiteral("199907.5") << 199908 << true;
        QTest::newRow("no number") << QStringLiteral("abc") << 0 << true;
        QTest::newRow("negative") << QStringLiteral("-3") << -3 << true;
        QTest::newRow("exponent") << QStringLiteral("2e5") << 200000 << true;
        QTest::newRow("int max") << QStringLiteral("2147483647") << 2147483647 << true;
        QTest::newRow("beyond 32 bits") << QStringLiteral("2147483648") << 0 << false;
        QTest::newRow("far beyond") << QStringLiteral("99999999999999999999") << 0 << false;
    }
    void leadingWholeNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(bool, fits);
        const std::optional<int> value = LeadingWholeNumber(text);
        QCOMPARE(value.has_value(), fits);
        if (fits)
            QCOMPARE(*value, expected);
    }

    void inputYearMonthAcceptsBothBounds()
    {
        for (const QString& answer : {QStringLiteral("199901"), QStringLiteral("200407")}) {
            ScriptedDialogs boxes;
            boxes.input(answer);
            int ym = 199907;
            QVERIFY(InputYearMonth(ym, 199901, 200407, kPrompt));
            QCOMPARE(ym, answer.toInt());
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Input);
            QCOMPARE(boxes.boxes[0].title, QStringLiteral("年月の入力"));
            QCOMPARE(boxes.boxes[0].text, kPrompt);
            QCOMPARE(boxes.boxes[0].initial, QStringLiteral("199907"));
        }
    }

    void inputYearMonthAsksAgainAfterABadAnswer()
    {
        ScriptedDialogs boxes;
        boxes.input(QStringLiteral("200408"));
        boxes.ok();
        boxes.input(QStringLiteral("199813"));
        boxes.ok();
        boxes.input(QStringLiteral("99999999999"));
        boxes.ok();
        boxes.input(QStringLiteral("199907.6"));
        int ym = 200001;
        QVERIFY(InputYearMonth(ym, 199901, 200407, kPrompt));
        QCOMPARE(ym, 199908);
        QCOMPARE(boxes.boxes.size(), 7);
        for (int i : {1, 3, 5}) {
            QCOMPARE(boxes.boxes[i].kind, Dialogs::Kind::Warning);
            QCOMPARE(boxes.boxes[i].title, QStringLiteral("Zedu"));
            QCOMPARE(boxes.boxes[i].text, kBadMonth);
        }
        // Every repeat is pre-filled with the unchanged value.
        for (int i : {0, 2, 4, 6})
            QCOMPARE(boxes.boxes[i].initial, QStringLiteral("200001"));
    }

    void inputYearMonthCancelAndEmpty()
    {
        ScriptedDialogs boxes;
        boxes.cancel();
        boxes.input(QString());
        int ym = 199907;
        QVERIFY(!InputYearMonth(ym, 199901, 200407, kPrompt));
        QCOMPARE(ym, 199907);
        QVERIFY(!InputYearMonth(ym, 199901, 200407, kPrompt));
        QCOMPARE(ym, 199907);
        QCOMPARE(boxes.boxes.size(), 2);
    }

    void inputYearMonthTextWithoutNumberIsZero()
    {
        ScriptedDialogs boxes;
        boxes.input(QStringLiteral("abc"));
        boxes.ok();
        boxes.cancel();
        int ym = 199907;
        QVERIFY(!InputYearMonth(ym, 199901, 200407, kPrompt));
        QCOMPARE(boxes.boxes[1].text, kBadMonth);
    }

    void messageBoxesCarryTitleKindAndText()
    {
        ScriptedDialogs boxes;
        boxes.ok();
        boxes.yes();
        boxes.no();
        boxes.ok();
        ShowWarning(QStringLiteral("警告\r二行目"));
        QCOMPARE(AskYesNo(QStringLiteral("質問")), Dialogs::Yes);
        QCOMPARE(AskYesNo(QStringLiteral("質問")), Dialogs::No);
        ShowInfo(QStringLiteral("お知らせ"));
        QCOMPARE(boxes.boxes.size(), 4);
        QCOMPARE(boxes.boxes[0].kind, Dialogs::Kind::Warning);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("警告\r二行目"));
        QCOMPARE(boxes.boxes[1].kind, Dialogs::Kind::Question);
        QCOMPARE(boxes.boxes[3].kind, Dialogs::Kind::Information);
        for (const auto& box : boxes.boxes)
            QCOMPARE(box.title, QStringLiteral("Zedu"));
    }

    void fileExists()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QLatin1Char('/');
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(base + QStringLiteral("missing")));
        QVERIFY(!FileExists(base + QStringLiteral("no/such/folder/file")));
        QVERIFY(!FileExists(dir.path()));
        QVERIFY(!FileExists(base));
        for (const QString& name : {QStringLiteral("plain.vad"), QStringLiteral(".hidden.vad"),
                                    QStringLiteral("日本語 名前.vad")}) {
            QFile f(base + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            QVERIFY2(FileExists(base + name), qPrintable(name));
        }
        QFile readOnly(base + QStringLiteral("ro.vad"));
        QVERIFY(readOnly.open(QIODevice::WriteOnly));
        readOnly.close();
        QVERIFY(readOnly.setPermissions(QFile::ReadOwner));
        QVERIFY(FileExists(readOnly.fileName()));
    }

    void removeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/Data.vad");
        QVERIFY(RemoveFile(path)); // missing: nothing to do
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(RemoveFile(path));
        QVERIFY(!QFile::exists(path));
        // A folder of that name is not a file and stays.
        QDir().mkpath(path);
        QVERIFY(RemoveFile(path));
        QVERIFY(QFileInfo(path).isDir());
    }

    void listFolder()
    {
        QTemporaryDir dir;
        QVERIFY(ListFolder(dir.path()).isEmpty());
        QVERIFY(ListFolder(dir.path() + QStringLiteral("/missing")).isEmpty());
        QDir().mkpath(dir.path() + QStringLiteral("/Sub"));
        for (const QString& name :
             {QStringLiteral("b.txt"), QStringLiteral(".hidden"), QStringLiteral("A.txt")}) {
            QFile f(dir.path() + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(ListFolder(dir.path()),
                 (QStringList{QStringLiteral(".hidden"), QStringLiteral("A.txt"),
                              QStringLiteral("b.txt"), QStringLiteral("Sub")}));
        QCOMPARE(ListFolder(dir.path() + QLatin1Char('/')).size(), 4);
    }

    void appFolderEndsInSeparator()
    {
        QVERIFY(GetAppFolder().endsWith(QLatin1Char('/')));
        QCOMPARE(GetAppFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        setAppFolderForTesting(QStringLiteral("/tmp/x"));
        QCOMPARE(GetAppFolder(), QStringLiteral("/tmp/x/"));
        setAppFolderForTesting(QString());
        QCOMPARE(GetAppFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    }

    void windowsFolderIsTheViewersFolder()
    {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir bin;
        QFile viewer(bin.path() + QStringLiteral("/xdg-open"));
        QVERIFY(viewer.open(QIODevice::WriteOnly));
        viewer.write("#!/bin/sh\n");
        viewer.close();
        QVERIFY(viewer.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", bin.path().toLocal8Bit());
        QCOMPARE(GetWindowsFolder(), bin.path());
        QTemporaryDir empty;
        qputenv("PATH", empty.path().toLocal8Bit());
        QCOMPARE(GetWindowsFolder(), QString());
        qputenv("PATH", path);
    }

    void todayKeyFollowsTheClock()
    {
        Clock::setTodayForTesting(QDate(1999, 7, 5));
        QCOMPARE(TodayKey(), 19990705);
        Clock::setTodayForTesting(QDate(2000, 12, 31));
        QCOMPARE(TodayKey(), 20001231);
        Clock::setTodayForTesting(std::nullopt);
        QCOMPARE(TodayKey(), DayKey(QDate::currentDate()));
    }

    void dayKeys()
    {
        QCOMPARE(DayKey(QDate(1999, 12, 31)) + 0, 19991231);
        QCOMPARE(KeyToDate(20000229), QDate(2000, 2, 29));
        QVERIFY(!KeyToDate(20010229).isValid());
        QVERIFY(!KeyToDate(19990700).isValid());
        QVERIFY(!KeyToDate(19991301).isValid());
        QCOMPARE(FormatDayKey(19990705), QStringLiteral("1999/07/05"));
    }

    void busyPointerNests()
    {
        QCOMPARE(BusyCount(), 0);
        QVERIFY(!QGuiApplication::overrideCursor());
        SetBusy(true);
        SetBusy(true);
        QCOMPARE(BusyCount(), 2);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        SetBusy(false);
        QVERIFY(QGuiApplication::overrideCursor());
        SetBusy(false);
        QCOMPARE(BusyCount(), 0);
        QVERIFY(!QGuiApplication::overrideCursor());
        // A surplus "off" neither goes below zero nor pops a cursor it never set.
        QGuiApplication::setOverrideCursor(Qt::IBeamCursor);
        SetBusy(false);
        QCOMPARE(BusyCount(), 0);
        QVERIFY(QGuiApplication::overrideCursor());
        QGuiApplication::restoreOverrideCursor();
        SetBusy(true);
        QCOMPARE(BusyCount(), 1);
        SetBusy(false);
        QCOMPARE(BusyCount(), 0);
    }
};

ZEDU_TEST_MAIN(tst_basMain)
#include "tst_basMain.moc"
