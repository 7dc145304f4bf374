// The export, import and print windows, driven as a user would from the File
// menu: what they offer, what they ask, what they leave in the calendar.

#include "store/Backup.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"
#include "ui/frmExport.h"
#include "ui/frmImport.h"
#include "ui/frmPrint.h"
#include "ui/frmSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTimer>

using namespace Qt::StringLiterals;

class tst_ExchangeWindows : public MainWindowHarness
{
    Q_OBJECT

    template <typename T> T* in(QWidget* window, const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        [&] {
            QVERIFY2(w, name);
        }();
        return w;
    }

    frmImport* openImport(const QString& file)
    {
        trigger("mnuImport");
        auto* window = this->window()->findChild<frmImport*>();
        if (window)
            in<QLineEdit>(window, "txtSource")->setText(file);
        return window;
    }

private slots:
    void exportWritesWhatWasTypedAndAsksBeforeReplacing()
    {
        start();
        typeEntry(QStringLiteral("打ち合わせ"));
        trigger("mnuExport");
        auto* window = this->window()->findChild<frmExport*>();
        QVERIFY(window);
        QCOMPARE(in<QComboBox>(window, "cboFrom")->currentText(), QStringLiteral("2026/12"));
        QCOMPARE(in<QComboBox>(window, "cboTo")->currentText(), QStringLiteral("2031/12"));
        QVERIFY(in<QRadioButton>(window, "optAllDays")->isChecked());
        auto* format = in<QComboBox>(window, "cboFormat");
        QCOMPARE(format->currentText(), QStringLiteral("テキスト"));
        QVERIFY(!in<QWidget>(window, "fraICalendar")->isEnabled());
        format->setCurrentText(QStringLiteral("CSV"));
        auto* target = in<QLineEdit>(window, "txtTarget");
        QVERIFY(target->text().endsWith(QStringLiteral("/Zedu.csv")));
        const QString file = folder->filePath(QStringLiteral("diary.csv"));
        target->setText(file);
        in<QRadioButton>(window, "optEntryDays")->setChecked(true);

        boxes->ok();
        in<QPushButton>(window, "cmdExport")->click();
        QCOMPARE(boxes->texts(),
                 QStringList({QStringLiteral("1 日分を書き出しました。\r") + file}));
        QCOMPARE(readFile(file), QByteArray("\xEF\xBB\xBF日付,曜日,平日,内容\r\n"
                                            "20261207,1,1,\"打ち合わせ\"\r\n"));
        QTRY_VERIFY(!this->window()->findChild<frmExport*>());

        // Again into the same file: asked first, and No leaves it alone.
        trigger("mnuExport");
        window = this->window()->findChild<frmExport*>();
        in<QComboBox>(window, "cboFormat")->setCurrentText(QStringLiteral("JSON"));
        in<QLineEdit>(window, "txtTarget")->setText(file);
        boxes->clear();
        boxes->no();
        in<QPushButton>(window, "cmdExport")->click();
        QCOMPARE(
            boxes->texts(),
            QStringList({QStringLiteral("「%1」は既にあります。\r置き換えますか？").arg(file)}));
        QCOMPARE(boxes->boxes.first().defaultButton, Dialogs::No);
        QVERIFY(readFile(file).startsWith("\xEF\xBB\xBF"));
        QVERIFY(window->isVisible());
        window->close();
    }

    void searchResultsExportTheDaysFound()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        for (const int key : {20261210, 20270105, 20270120})
            QVERIFY(WriteDayEntry(dataPath(), key, key == 20270105 ? u"会議"_s : u"旅行"_s));
        start();
        trigger("mnuFind");
        auto* search = this->window()->searchWindow();
        QVERIFY(search);
        auto* exporting = in<QPushButton>(search, "cmdExport");
        QCOMPARE(exporting->text(), u"結果をｴｸｽﾎﾟｰﾄ"_s);
        QVERIFY(!exporting->isEnabled());
        in<QLineEdit>(search, "txtFind")->setText(u"旅行"_s);
        QTRY_VERIFY(exporting->isEnabled());
        exporting->click();

        auto* window = this->window()->findChild<frmExport*>();
        QVERIFY(window);
        auto* found = in<QRadioButton>(window, "optFoundDays");
        QCOMPARE(found->text(), u"検索で見つかった 2 日(&F)"_s);
        QVERIFY(found->isChecked());
        in<QComboBox>(window, "cboFormat")->setCurrentText(u"CSV"_s);
        const QString file = folder->filePath(u"found.csv"_s);
        in<QLineEdit>(window, "txtTarget")->setText(file);
        boxes->ok();
        in<QPushButton>(window, "cmdExport")->click();
        QCOMPARE(readFile(file), QByteArray("\xEF\xBB\xBF日付,曜日,平日,内容\r\n"
                                            "20261210,4,1,\"旅行\"\r\n20270120,3,1,\"旅行\"\r\n"));
        search->close();
    }

    void longExportShowsItsProgressAndCanBeCancelled()
    {
        // A hundred years of pages: long enough for the progress to show.
        QVERIFY(MakeCalendarFile(dataPath(), 200001, 209912));
        start();
        trigger("mnuExport");
        auto* window = this->window()->findChild<frmExport*>();
        QVERIFY(window);
        in<QComboBox>(window, "cboFrom")->setCurrentText(u"2000/01"_s);
        in<QComboBox>(window, "cboTo")->setCurrentText(u"2099/12"_s);
        in<QComboBox>(window, "cboFormat")->setCurrentText(u"PDF"_s);
        const QString file = folder->filePath(u"century.pdf"_s);
        in<QLineEdit>(window, "txtTarget")->setText(file);

        // The progress is looked at and cancelled from the events the
        // export lets through.
        QString shown;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            auto* progress = window->findChild<QProgressDialog*>(u"prgExport"_s);
            if (!progress || !progress->isVisible() || progress->value() <= 0)
                return;
            look.stop();
            shown = progress->findChild<QProgressBar*>()->text();
            progress->findChild<QPushButton*>()->click();
        });
        look.start(10);
        boxes->ok();
        in<QPushButton>(window, "cmdExport")->click();
        QVERIFY2(QRegularExpression(u"^\\d{1,2}%$"_s).match(shown).hasMatch(), qPrintable(shown));
        QCOMPARE(boxes->texts(),
                 QStringList{u"書き出しを中止しました。ファイルは作られていません。"_s});
        QVERIFY(window->isVisible());
        window->close();
    }

    void damagedFileChangesNothing()
    {
        start();
        const QString file = folder->filePath(QStringLiteral("broken.json"));
        writeFile(file, "{\"format\":\"zedu-diary\",\"version\":1,\"days\":[\n"
                        "{\"key\":20261207,\"workday\":true,\"text\":\"a\"}\n{");
        const QByteArray before = FileDigest(dataPath());
        frmImport* window = openImport(file);
        QVERIFY(window);
        boxes->ok();
        in<QPushButton>(window, "cmdRead")->click();
        QCOMPARE(boxes->texts(),
                 QStringList({QStringLiteral("ファイルを読み込めませんでした。\r3行目: 「,」か「]」"
                                             "があるはずのところに「{」があります。")}));
        QVERIFY(!in<QPushButton>(window, "cmdImport")->isEnabled());
        window->close();
        QCOMPARE(FileDigest(dataPath()), before);
    }

    void importShowsWhatItFoundAndTakesItIn()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, QStringLiteral("会議")));
        start();
        // Written by a spreadsheet program on a Japanese desktop: CP932.
        const QString file = folder->filePath(QStringLiteral("other.csv"));
        QStringEncoder cp932("CP932");
        writeFile(file, cp932(u"日付,曜日,平日,内容\r\n"
                              u"20261207,1,0,\"資料\r\n作成\"\r\n"
                              u"20261208,2,1,\"面談\"\r\n"
                              u"20320105,1,,\"先の予定\"\r\n"_s));
        frmImport* window = openImport(file);
        in<QPushButton>(window, "cmdRead")->click();
        QCOMPARE(window->foundText(), QStringLiteral("3 日（2026/12/07～2032/01/05）\n"
                                                     "文字コード: Shift_JIS（CP932）\n"
                                                     "登録範囲（2026/12～2031/12）外の日: 1 日\n"
                                                     "予定の内容が異なる日: 1 日"));
        in<QRadioButton>(window, "optAppend")->setChecked(true);
        in<QCheckBox>(window, "chkExtend")->setChecked(true);
        in<QCheckBox>(window, "chkWorkdays")->setChecked(true);
        const qsizetype backups = ListBackups().size();
        boxes->ok();
        in<QPushButton>(window, "cmdImport")->click();
        QCOMPARE(boxes->texts(), QStringList({QStringLiteral("3 日分を取り込みました。")}));
        QCOMPARE(ListBackups().size(), backups + 1);
        QCOMPARE(entryBox()->toPlainText(), QStringLiteral("会議\n資料\n作成"));
        QCOMPARE(gMaster.DateBottom(), 20320131);
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("平日")).toInt(), 0);
        QVERIFY(ReadDayField(dataPath(), 20320105, QStringLiteral("平日")).isNull());
        QTRY_VERIFY(!this->window()->findChild<frmImport*>());
    }

    void enterInTheFileBoxOnlyReads()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20261207, u"会議"_s));
        start();
        const QString first = folder->filePath(u"a.csv"_s);
        const QString second = folder->filePath(u"b.csv"_s);
        writeFile(first, "日付,内容\n20261207,\"資料\"\n20261208,\"面談\"\n");
        writeFile(second, "日付,内容\n20261209,\"出張\"\n");
        const QByteArray before = FileDigest(dataPath());
        frmImport* window = openImport(QString());
        auto* source = in<QLineEdit>(window, "txtSource");
        auto* import = in<QPushButton>(window, "cmdImport");
        window->activateWindow();
        source->setFocus();
        QTRY_VERIFY(source->hasFocus());
        // Each Enter shows what the file named holds; nothing is taken in
        // (an unasked box would fail the test).
        for (const QString& file : {second, first}) {
            source->selectAll();
            QTest::keyClicks(source, file);
            QVERIFY(!import->isEnabled());
            QTest::keyClick(source, Qt::Key_Return);
            QVERIFY2(window->foundText().startsWith(file == first ? u"2 日"_s : u"1 日"_s),
                     qPrintable(window->foundText()));
            QVERIFY(import->isEnabled());
            QVERIFY(!import->isDefault());
            QCOMPARE(FileDigest(dataPath()), before);
        }
        // Away from the box, 取り込む is the default; typing another name
        // forgets what was found.
        in<QRadioButton>(window, "optKeep")->setFocus();
        QTRY_VERIFY(import->isDefault());
        source->setFocus();
        QTRY_VERIFY(!import->isDefault());
        QTest::keyClick(source, Qt::Key_Backspace);
        QVERIFY(!import->isEnabled());
        QCOMPARE(boxes->boxes.size(), 0);
        window->close();
        QCOMPARE(FileDigest(dataPath()), before);
    }

    void importSaysWhatChanged()
    {
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        for (const int key : {20261207, 20261208})
            QVERIFY(WriteDayEntry(dataPath(), key, u"元"_s));
        start();
        const QString file = folder->filePath(u"a.csv"_s);
        writeFile(file, "日付,内容\n20261207,\"新\"\n20261208,\"新\"\n20261209,\"元\"\n");
        const QStringList expected = {
            u"1 日分を取り込みました。\r内容が異なる 2 日は取り込みませんでした。"_s,
            u"取り込んだ日はありません。暦は変わっていません。\r内容が異なる 2 日は取り込みません"
            u"でした。\r1 日は変わりませんでした。"_s};
        for (const QString& said : expected) {
            frmImport* window = openImport(file);
            in<QPushButton>(window, "cmdRead")->click();
            QVERIFY(in<QRadioButton>(window, "optKeep")->isChecked());
            boxes->clear();
            boxes->ok();
            in<QPushButton>(window, "cmdImport")->click();
            QCOMPARE(boxes->texts(), QStringList({said}));
            QTRY_VERIFY(!this->window()->findChild<frmImport*>());
        }
    }

    void calendarThatCannotBeWrittenStaysAsItWas()
    {
        start();
        const QString file = folder->filePath(QStringLiteral("diary.json"));
        writeFile(file, "{\"format\":\"zedu-diary\",\"version\":1,\"days\":[\n"
                        "{\"key\":20261207,\"workday\":true,\"text\":\"a\"},\n"
                        "{\"key\":20330101,\"workday\":false,\"text\":\"b\"}]}\n");
        frmImport* window = openImport(file);
        in<QPushButton>(window, "cmdRead")->click();
        in<QCheckBox>(window, "chkExtend")->setChecked(true);
        const QByteArray before = FileDigest(dataPath());
        // Another program holds the calendar for writing.
        SqlPeek other(dataPath());
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        boxes->yes(); // go on without a backup
        boxes->ok();
        in<QPushButton>(window, "cmdImport")->click();
        QCOMPARE(boxes->boxes.size(), 2);
        QVERIFY(boxes->texts()[0].startsWith(
            QStringLiteral("暦ファイルのバックアップを作成できませんでした。")));
        QVERIFY2(boxes->texts()[1].startsWith(
                     QStringLiteral("取り込めませんでした。暦は変わっていません。\r暦ファイルの"
                                    "読み書きに失敗しました。\r暦ファイルが他のプログラムで使用中"
                                    "です。")),
                 qPrintable(boxes->texts()[1]));
        QVERIFY(other.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(FileDigest(dataPath()), before);
        QVERIFY(window->isVisible());
        window->close();
    }

    void printPreviewShowsThePages_data()
    {
        QTest::addColumn<bool>("monthly");
        QTest::addColumn<int>("pages");
        QTest::newRow("月ごと") << true << 3;
        QTest::newRow("日ごと") << false << 1;
    }

    void printPreviewShowsThePages()
    {
        QFETCH(bool, monthly);
        QFETCH(int, pages);
        QVERIFY(MakeCalendarFile(dataPath(), 202612, 203112));
        QVERIFY(WriteDayEntry(dataPath(), 20270110, QStringLiteral("旅行")));
        start();
        trigger("mnuPrint");
        auto* window = this->window()->findChild<frmPrint*>();
        QVERIFY(window);
        QCOMPARE(in<QComboBox>(window, "cboFrom")->currentText(), QStringLiteral("2026/12"));
        in<QComboBox>(window, "cboTo")->setCurrentText(QStringLiteral("2027/02"));
        in<QRadioButton>(window, monthly ? "optMonthly" : "optDaily")->setChecked(true);

        // The preview is a modal dialog of its own: looked at and closed
        // from the event loop it runs.
        int shown = -1;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview)
                return;
            look.stop();
            shown = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            orientation = preview->printer()->pageLayout().orientation();
            preview->reject();
        });
        look.start(10);
        in<QPushButton>(window, "cmdPreview")->click();
        QCOMPARE(shown, pages);
        QCOMPARE(orientation, monthly ? QPageLayout::Landscape : QPageLayout::Portrait);
        window->close();
    }
};

ZEDU_TEST_MAIN(tst_ExchangeWindows)
#include "tst_ExchangeWindows.moc"
