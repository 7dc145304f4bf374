// The Edit menu, which is also the month grid's context menu: copy, the
// commands that mark days as workdays or holidays, the yearly event, and the
// command that marks the public holidays.

#include "entries/clsPlan.h"
#include "platform/Dialogs.h"
#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/clsMaster.h"
#include "ui/frmMain.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// The highlighted part of the entry box, with its line breaks as LF; "" when
// nothing is highlighted.
QString selectedEntryText(const QPlainTextEdit* box)
{
    QString text = box->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

const QString kIrreversible = QStringLiteral("変更すると元に戻せません。実行しますか？");

} // namespace

void frmMain::mnuEdit_Click()
{
    // The single-day commands act on the month grid's day, so they are
    // offered only while the month grid is the display.
    const bool normal = mnuDispMode[0]->isChecked();
    mnuChange->setEnabled(normal);
    mnuChangeAll->setEnabled(normal);
}

void frmMain::mnuCopy_Click()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QWidget* active = focusWidget();
    const QString name = active ? active->objectName().toUpper() : QString();
    if (name == QLatin1String("TXTYM"))
        clipboard->setText(txtYm->selectedText());
    else if (name == QLatin1String("TXTTODAY"))
        clipboard->setText(selectedEntryText(txtToday));
    else if (name == QLatin1String("GREDATE"))
        clipboard->setText(greDate->Clip());
    else if (name == QLatin1String("GRELIST"))
        clipboard->setText(greList->Clip());
}

void frmMain::mnuChange_Click()
{
    guarded([this] {
        RunningScope busy(this, QStringLiteral("平日・休日を切り替えています。"));
        gMaster.WeekDayChange(mCalendar->CurDate());
        mCalendar->Refresh();
    });
}

void frmMain::mnuChangeAll_Click()
{
    guarded([this] {
        const int m = mCalendar->CurMonth();
        const int d = mCalendar->CurDay();
        if (AskYesNo(QStringLiteral("全ての %1月%2日を休日に設定します。\r"
                                    "一度変更したら元には戻せません。実行して良いですか？")
                         .arg(m)
                         .arg(d)) == Dialogs::No)
            return;
        if (!BackupBeforeChange())
            return;
        // No progress text of its own: the grid's redraw shows and ends one.
        gMaster.WeekDayChangeAll(mCalendar->CurMonth(), mCalendar->CurDay());
        mCalendar->Refresh();
    });
}

void frmMain::changeDayKinds(const QString& question, const QString& progress,
                             const std::function<void()>& storeCall)
{
    guarded([&] {
        if (AskYesNo(question) == Dialogs::No)
            return;
        if (!BackupBeforeChange())
            return;
        RunningScope busy(this, progress);
        storeCall();
        mCalendar->Refresh();
    });
}

void frmMain::mnuWeekDayAll_Click()
{
    changeDayKinds(QStringLiteral("全て平日にします。登録されている暦に、休日がなくなります。\r") +
                       kIrreversible,
                   QStringLiteral("平日に更新しています。"), [] { gMaster.WeekDayClear(true); });
}

void frmMain::mnuNotWeekDayAll_Click()
{
    changeDayKinds(QStringLiteral("全て休日にします。登録されている暦に、平日がなくなります。\r") +
                       kIrreversible,
                   QStringLiteral("休日に更新しています。"), [] { gMaster.WeekDayClear(false); });
}

void frmMain::mnuWeekAll_Click()
{
    // The column of the grid's current cell is its day of the week.
    changeDayKinds(
        QStringLiteral("全ての%1曜日を平日にします。\r").arg(gWeekNames.value(greDate->Col())) +
            kIrreversible,
        QStringLiteral("曜日ごとに平日に設定しています。"),
        [this] { gMaster.WeekWeekDayChange(greDate->Col(), true); });
}

void frmMain::mnuWeekNotAll_Click()
{
    changeDayKinds(
        QStringLiteral("全ての%1曜日を休日にします。\r").arg(gWeekNames.value(greDate->Col())) +
            kIrreversible,
        QStringLiteral("曜日ごとに休日に設定しています。"),
        [this] { gMaster.WeekWeekDayChange(greDate->Col(), false); });
}

void frmMain::mnuPlanAll_Click()
{
    guarded([this] {
        // A pending edit is stored first, so it ends up below the event.
        plan()->Save();
        const QString prompt =
            QStringLiteral("全ての%1月%2日の内容に、指定された行事を挿入します。\r"
                           "既に登録されている内容は保持され、行事は一行目に挿入されます。\r"
                           "一度変更したら元には戻せません。挿入したい行事を入力して下さい。")
                .arg(mCalendar->CurMonth())
                .arg(mCalendar->CurDay());
        const QString event = InputBox(prompt, kAppTitle);
        if (event.isEmpty())
            return;
        if (!BackupBeforeChange())
            return;
        RunningScope busy(this, QStringLiteral("行事を挿入しています。"));
        gMaster.PlanInsert(mCalendar->CurMonth(), mCalendar->CurDay(), event);
        plan()->Load(mCalendar->CurDate());
    });
}

void frmMain::mnuPublicHolidays_Click()
{
    changeDayKinds(QStringLiteral("登録されている暦の国民の祝日（振替休日と国民の休日を含む）を"
                                  "全て休日にします。\r") +
                       kIrreversible,
                   QStringLiteral("祝日を休日に設定しています。"),
                   [] { gMaster.PublicHolidaySet(); });
}
