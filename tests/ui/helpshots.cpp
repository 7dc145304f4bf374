// Makes the pictures of the manual: the real main window on a sample
// calendar, offscreen, with each menu of the menu bar opened, the jump list,
// the version box, the restore window, the export, import and print windows
// and the boxes and windows of an encrypted calendar.
//
//   tests/isolate.sh build/dev/tests/ui/zedu_helpshots help/images
//
// Run through tests/isolate.sh, which gives it a throw-away home, so that the
// settings it writes never reach the real user's.

#include "app/Main.h"
#include "entries/RecoveryFile.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/PasswordBox.h"
#include "platform/RegControl.h"
#include "platform/basMain.h"
#include "store/Backup.h"
#include "store/CalendarEncryption.h"
#include "store/clsMaster.h"
#include "tests/support/CalendarFixture.h"
#include "ui/PasswordPrompts.h"
#include "ui/frmAbout.h"
#include "ui/frmExport.h"
#include "ui/frmImport.h"
#include "ui/frmMain.h"
#include "ui/frmOnThisDay.h"
#include "ui/frmPrint.h"
#include "ui/frmRecoveryFiles.h"
#include "ui/frmRecoveryKey.h"
#include "ui/frmRestore.h"
#include "ui/frmSearch.h"
#include "ui/frmStatistics.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

class NoDialogs final : public Dialogs::Provider
{
public:
    int message(Dialogs::Kind, const QString&, const QString& text) override
    {
        std::fprintf(stderr, "unexpected box: %s\n", text.toUtf8().constData());
        return Dialogs::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
};

void settle(int ms = 150)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The window with `popup` (a menu or nothing) drawn where it lies on screen.
QImage windowWith(QWidget* window, QWidget* popup)
{
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    QRect area(QPoint(0, 0), window->size());
    QPixmap popupImage;
    QPoint popupAt;
    if (popup) {
        popupImage = popup->grab();
        popupAt = popup->mapToGlobal(QPoint(0, 0)) - origin;
        area |= QRect(popupAt, popup->size());
    }
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPixmap(-area.topLeft(), window->grab());
    if (popup)
        painter.drawPixmap(popupAt - area.topLeft(), popupImage);
    return image;
}

bool save(const QImage& image, const QString& folder, const char* name)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("saved %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("ZEDU_TEST_SCRATCH")) {
        std::fprintf(stderr, "Run through tests/isolate.sh.\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitApplication();
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: zedu_helpshots <output folder>\n");
        return 2;
    }
    const QString out = QDir(args[1]).absolutePath();
    QDir().mkpath(out);
    NoDialogs dialogs;
    Dialogs::setProvider(&dialogs);

    // A calendar with a few entries and holidays of its own.
    QTemporaryDir folder;
    setAppFolderForTesting(folder.path());
    Clock::setTodayForTesting(QDate(2026, 12, 7));
    const QString data = folder.filePath(QStringLiteral("Data.vad"));
    if (!MakeCalendarFile(data, 202612, 203112))
        return 1;
    WriteDayEntry(data, 20261207,
                  QStringLiteral("10:00 営業会議（第二会議室）\r\n"
                                 "14:00 見積書を提出\r\n"
                                 "19:00 忘年会の幹事打ち合わせ"));
    WriteDayEntry(data, 20261204, QStringLiteral("健康診断"));
    WriteDayEntry(data, 20261218, QStringLiteral("忘年会 18:30～"));
    WriteDayEntry(data, 20261225, QStringLiteral("仕事納め"));
    // Entries of the months after, for the search window.
    WriteDayEntry(data, 20270108, QStringLiteral("新年会の会場を予約\r\n19:00 ﾎﾃﾙで忘年会の精算"));
    WriteDayEntry(data, 20271217, QStringLiteral("忘年会（大学の同期）"));
    WriteDayEntry(data, 20281215, QStringLiteral("部の忘年会 幹事"));
    RegWrite(kRegKey, QStringLiteral("Width"), QStringLiteral("8280"));
    RegWrite(kRegKey, QStringLiteral("Height"), QStringLiteral("5000"));

    if (Main())
        return 1;
    frmMain* window = MainWindow();
    gOpenFlag = true;
    for (const int day : {20261229, 20261230, 20261231})
        gMaster.WeekDayChange(day);
    window->calendar()->Refresh();
    window->show();
    settle(400);

    bool ok = save(windowWith(window, nullptr), out, "main.png");

    const char* menus[][2] = {{"mnuFile", "menu-file.png"},
                              {"mnuEdit", "menu-edit.png"},
                              {"mnuDisplay", "menu-display.png"},
                              {"mnuConfig", "menu-config.png"},
                              {"mnuHelp", "menu-help.png"}};
    for (const auto& [name, file] : menus) {
        QMenu* menu = window->findChild<QMenu*>(QLatin1String(name));
        window->menuBar()->setActiveAction(menu->menuAction());
        settle();
        ok = save(windowWith(window, menu), out, file) && ok;
        menu->hide();
        window->menuBar()->setActiveAction(nullptr);
        settle();
    }

    // The grid's context menu at the selected day.
    QMenu* edit = window->findChild<QMenu*>(QStringLiteral("mnuEdit"));
    FlexGrid* grid = window->findChild<FlexGrid*>(QStringLiteral("greDate"));
    edit->popup(grid->viewport()->mapToGlobal(grid->cellRect(grid->Row(), grid->Col()).center()));
    settle();
    ok = save(windowWith(window, edit), out, "context-menu.png") && ok;
    edit->hide();
    settle();

    window->findChild<QPushButton*>(QStringLiteral("cmdJump"))->click();
    settle();
    ok = save(windowWith(window, nullptr), out, "jump.png") && ok;
    window->findChild<QListWidget*>(QStringLiteral("lstJump"))->hide();
    settle();

    // The search window over the main window, then the day opened from it.
    window->mnuFind_Click();
    frmSearch* search = window->searchWindow();
    search->move(window->pos() + QPoint(window->width() / 3, window->height() / 4));
    auto* field = search->findChild<QLineEdit*>(QStringLiteral("txtFind"));
    field->setText(QStringLiteral("忘年会"));
    search->search();
    settle();
    ok = save(search->grab().toImage(), out, "search.png") && ok;
    search->selectDay(20270108);
    QTest::keyClick(field, Qt::Key_Return);
    search->hide();
    settle();
    ok = save(windowWith(window, nullptr), out, "search-day.png") && ok;

    window->mnuAbout_Click();
    settle();
    ok = save(AboutBox()->grab().toImage(), out, "about.png") && ok;
    UnloadAboutBox();

    // The restore window, with the start's backup and one made after an
    // entry was added.
    WriteDayEntry(data, 20261208, QStringLiteral("資料作成"));
    BackupCalendar();
    {
        frmRestore chooser(ReadBackupInfos(), window);
        chooser.show();
        settle();
        ok = save(chooser.grab().toImage(), out, "restore.png") && ok;
    }

    // The export window, set for a PDF of the days with an entry.
    window->mnuExport_Click();
    settle();
    auto* exporting = window->findChild<frmExport*>();
    exporting->findChild<QComboBox*>(QStringLiteral("cboFormat"))
        ->setCurrentText(QStringLiteral("PDF"));
    exporting->findChild<QRadioButton*>(QStringLiteral("optEntryDays"))->setChecked(true);
    exporting->findChild<QLineEdit*>(QStringLiteral("txtTarget"))
        ->setText(QStringLiteral("/home/user/Documents/Zedu.pdf"));
    settle();
    ok = save(exporting->grab().toImage(), out, "export.png") && ok;
    exporting->close();

    // The import window after reading a file of another program.
    const QString csv = folder.filePath(QStringLiteral("diary.csv"));
    {
        QFile file(csv);
        file.open(QIODevice::WriteOnly);
        file.write("日付,曜日,平日,内容\r\n20261204,5,1,\"健康診断（再検査）\"\r\n"
                   "20261210,4,1,\"歯医者 15:00\"\r\n20320105,1,1,\"新年会\"\r\n");
    }
    window->mnuImport_Click();
    settle();
    auto* importing = window->findChild<frmImport*>();
    auto* source = importing->findChild<QLineEdit*>(QStringLiteral("txtSource"));
    source->setText(csv);
    importing->cmdRead_Click();
    // As a user's path would read, once the file was read.
    source->setText(QStringLiteral("/home/user/diary.csv"));
    importing->findChild<QRadioButton*>(QStringLiteral("optAppend"))->setChecked(true);
    settle();
    ok = save(importing->grab().toImage(), out, "import.png") && ok;
    importing->close();

    // The print window and the preview of its pages.
    window->mnuPrint_Click();
    settle();
    auto* printing = window->findChild<frmPrint*>();
    ok = save(printing->grab().toImage(), out, "print.png") && ok;
    QImage preview;
    QTimer::singleShot(500, printing, [&preview] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialog->resize(900, 640);
            settle(300);
            preview = dialog->grab().toImage();
            dialog->close();
        }
    });
    printing->cmdPreview_Click();
    ok = !preview.isNull() && save(preview, out, "print-preview.png") && ok;
    printing->close();

    // 過去の同じ日 and 記録, on a diary that reaches back to 2018 and is
    // written on most days of 2026.
    gMaster.Update(201801, 203112);
    {
        const char16_t* const phrases[] = {u"朝から雨。",
                                           u"駅前の本屋で新刊を買った。",
                                           u"昼はラーメン。",
                                           u"会議が長引いた。",
                                           u"夕方に散歩。",
                                           u"友人と電話で話した。",
                                           u"早く寝る。",
                                           u"\r\n",
                                           u"洗濯と掃除。",
                                           u"映画を見た。",
                                           u"久しぶりに料理をした。",
                                           u"仕事が忙しい一日。"};
        SqlPeek diary(data);
        diary.exec(QStringLiteral("BEGIN"));
        quint32 seed = 7;
        auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) & 0x7FFF;
        };
        for (QDate d(2026, 1, 1); d < QDate(2026, 12, 7); d = d.addDays(1)) {
            if (next() % 10 < 3)
                continue;
            QString text;
            const int wanted = 20 + int(next() % 12) * int(next() % 30);
            while (text.size() < wanted)
                text += QString::fromUtf16(phrases[next() % std::size(phrases)]);
            diary.exec(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"),
                       {text, d.year() * 10000 + d.month() * 100 + d.day()});
        }
        const std::pair<int, const char16_t*> past[] = {
            {20251207, u"家族で紅葉を見に行った。\r\n帰りにそばを食べた。"},
            {20241207, u"初雪。駅まで歩いた。"},
            {20221207, u"忘年会の店を下見"},
            {20201207, u"在宅勤務にも慣れてきた"},
            {20181207, u"新しい手帳を買った。今年こそ続ける。"}};
        for (const auto& [key, text] : past)
            diary.exec(QStringLiteral("UPDATE Master SET 内容 = ? WHERE 日付 = ?"),
                       {QString::fromUtf16(text), key});
        diary.exec(QStringLiteral("COMMIT"));
    }
    window->calendar()->setCurDate(20261207);
    window->mnuOnThisDay_Click();
    settle();
    ok = save(window->onThisDayWindow()->grab().toImage(), out, "onthisday.png") && ok;
    window->onThisDayWindow()->hide();
    window->mnuStatistics_Click();
    window->statisticsWindow()->resize(window->statisticsWindow()->sizeHint());
    settle(400);
    ok = save(window->statisticsWindow()->grab().toImage(), out, "statistics.png") && ok;
    window->statisticsWindow()->hide();

    // The boxes and windows of an encrypted calendar.
    const auto shot = [&](QWidget* box, const char* file) {
        box->show();
        settle();
        ok = save(box->grab().toImage(), out, file) && ok;
        box->hide();
    };
    const auto lines = [](QString text) {
        return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    };
    {
        PasswordBox first(window, kAppTitle, lines(EncryptionExplanation()), true, QString());
        first.txtPassword->setText(QStringLiteral("secret-words"));
        first.txtPasswordAgain->setText(QStringLiteral("secret-word"));
        shot(&first, "encrypt-password.png");
    }
    {
        frmRecoveryKey key(QStringLiteral("7KQ2-M9XD-4HVT-PW3C-Z8NA-1FEG-6RJY-BS05"), window);
        shot(&key, "recovery-key.png");
    }
    {
        PasswordBox unlock(window, kAppTitle, lines(UnlockPrompt()), false,
                           QStringLiteral("回復キーを使う"));
        unlock.txtPassword->setText(QStringLiteral("secret"));
        shot(&unlock, "unlock.png");
    }
    Argon2Kdf::setNewFileLimitsForTesting(1, 8);
    {
        QString password = QStringLiteral("secret");
        EncryptCalendar(SecureBytes::takeText(password));
        WriteRecoveryFile(20261209, QStringLiteral("14:00 打ち合わせ（資料は前日までに送付）\r\n"
                                                   "夕方 買い物"));
        frmRecoveryFiles reader(window);
        shot(&reader, "recovery-files.png");
    }

    window->close();
    delete window;
    return ok ? 0 : 1;
}
