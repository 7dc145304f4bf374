#include "ui/frmExport.h"

#include "exchange/ExchangeError.h"
#include "exchange/ExportJob.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"
#include "store/FileSession.h"
#include "store/MasterReads.h"
#include "ui/ExchangeWidgets.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QString defaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

frmExport::frmExport(RunningHost* host, const QList<int>& found, QWidget* parent)
    : QDialog(parent), mHost(host), mFound(found)
{
    const QList<int> months = ReadStoredMonths();
    const int first = months.isEmpty() ? 0 : months.first();
    const int last = months.isEmpty() ? 0 : months.last();

    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    for (const ExportFormat f : ExportFormats())
        cboFormat->addItem(FormatCaption(f), int(f));

    mRange = new MonthRangePicker(months, first, last, this);
    optAllDays = new QRadioButton(QStringLiteral("全ての日(&A)"), this);
    optAllDays->setObjectName(QStringLiteral("optAllDays"));
    optEntryDays = new QRadioButton(QStringLiteral("予定がある日だけ(&N)"), this);
    optEntryDays->setObjectName(QStringLiteral("optEntryDays"));
    auto* days = new QVBoxLayout;
    days->addWidget(optAllDays);
    days->addWidget(optEntryDays);
    if (!mFound.isEmpty()) {
        optFoundDays =
            new QRadioButton(QStringLiteral("検索で見つかった %1 日(&F)").arg(mFound.size()), this);
        optFoundDays->setObjectName(QStringLiteral("optFoundDays"));
        days->addWidget(optFoundDays);
        optFoundDays->setChecked(true);
        connect(optFoundDays, &QRadioButton::toggled, mRange,
                [this](bool on) { mRange->setEnabled(!on); });
        mRange->setEnabled(false);
    } else {
        optAllDays->setChecked(true);
    }

    fraICalendar = new QGroupBox(QStringLiteral("iCalendar"), this);
    fraICalendar->setObjectName(QStringLiteral("fraICalendar"));
    chkEvents = new QCheckBox(QStringLiteral("予定として書き出す(&V)"), fraICalendar);
    chkEvents->setObjectName(QStringLiteral("chkEvents"));
    chkEvents->setToolTip(
        QStringLiteral("多くのカレンダーソフトは予定（終日の予定）だけを表示します"));
    chkHolidays = new QCheckBox(QStringLiteral("祝日・休日も書き出す(&H)"), fraICalendar);
    chkHolidays->setObjectName(QStringLiteral("chkHolidays"));
    auto* ics = new QHBoxLayout(fraICalendar);
    ics->addWidget(chkEvents);
    ics->addWidget(chkHolidays);
    ics->addStretch();

    mPrint = new PrintOptionsBox({PageLayout::Daily, 10}, this);
    mPrint->setTitle(QStringLiteral("PDF のページ"));

    txtTarget = new QLineEdit(this);
    txtTarget->setObjectName(QStringLiteral("txtTarget"));
    txtTarget->setMinimumWidth(360);
    cmdBrowse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    auto* target = new QHBoxLayout;
    target->addWidget(txtTarget, 1);
    target->addWidget(cmdBrowse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("形式(&T):"), cboFormat);
    form->addRow(QStringLiteral("範囲(&R):"), mRange);
    form->addRow(QStringLiteral("書き出す日:"), days);
    form->addRow(fraICalendar);
    form->addRow(mPrint);
    auto* targetLabel = new QLabel(QStringLiteral("書き出し先(&O):"), this);
    targetLabel->setBuddy(txtTarget);
    form->addRow(targetLabel, target);

    cmdExport = SetUpExchangeWindow(this, "frmExport", QStringLiteral("ｴｸｽﾎﾟｰﾄ"), form,
                                    QStringLiteral("書き出す(&E)"), "cmdExport");

    txtTarget->setText(QDir::toNativeSeparators(defaultFolder() + QStringLiteral("/Zedu.txt")));
    connect(cboFormat, &QComboBox::currentIndexChanged, this, &frmExport::formatChanged);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmExport::cmdBrowse_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmExport::cmdExport_Click);
    formatChanged();
}

ExportFormat frmExport::format() const
{
    return ExportFormat(cboFormat->currentData().toInt());
}

QString frmExport::WithSuffix(const QString& target, ExportFormat format)
{
    if (target.isEmpty())
        return target;
    const QFileInfo info(target);
    const bool known = FormatFromFileName(target).has_value();
    const QString base = known ? target.left(target.size() - info.suffix().size() - 1) : target;
    if (WritesFolder(format))
        return base;
    if (!known && !info.suffix().isEmpty())
        return target;
    return base + QLatin1Char('.') + FormatSuffix(format);
}

void frmExport::formatChanged()
{
    const ExportFormat f = format();
    fraICalendar->setEnabled(f == ExportFormat::ICalendar);
    mPrint->setEnabled(f == ExportFormat::Pdf);
    txtTarget->setText(WithSuffix(txtTarget->text(), f));
}

void frmExport::cmdBrowse_Click()
{
    const ExportFormat f = format();
    QString chosen;
    if (WritesFolder(f)) {
        chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("書き出すフォルダー"),
                                                   QFileInfo(txtTarget->text()).absolutePath());
    } else {
        chosen = QFileDialog::getSaveFileName(
            this, QStringLiteral("書き出すファイル"), txtTarget->text(),
            FormatFilter(f) + QStringLiteral(";;すべてのファイル (*)"), nullptr,
            QFileDialog::DontConfirmOverwrite);
    }
    if (!chosen.isEmpty())
        txtTarget->setText(QDir::toNativeSeparators(WithSuffix(chosen, f)));
}

void frmExport::cmdExport_Click()
{
    const QString target = QDir::fromNativeSeparators(txtTarget->text().trimmed());
    if (target.isEmpty()) {
        ShowWarning(QStringLiteral("書き出し先を指定して下さい。"));
        return;
    }
    ExportRequest request;
    request.format = format();
    request.target = QFileInfo(target).absoluteFilePath();
    if (optFoundDays && optFoundDays->isChecked())
        request.selection.keys = mFound;
    else
        request.selection = {
            mRange->firstMonth(), mRange->lastMonth(), optEntryDays->isChecked(), {}};
    request.info.stamp = Clock::Now().toUTC();
    request.info.icsEvents = chkEvents->isChecked();
    request.info.icsHolidays = chkHolidays->isChecked();
    request.info.print = mPrint->options();

    QString problem;
    ExportOutcome outcome;
    try {
        int count = 0;
        {
            FileSession session;
            count = CountDayRows(session.db(), request.selection);
        }
        if (count == 0) {
            ShowWarning(QStringLiteral("書き出す日がありません。"));
            return;
        }
        // Every format is plain text: the diary leaves its encryption.
        if (HeldCalendarKeys() &&
            AskYesNo(QStringLiteral("暗号化されていないファイルに書き出します。よろしいですか？"),
                     Dialogs::No) == Dialogs::No)
            return;
        if (ExportWouldReplace(request.format, request.target) &&
            AskYesNo(QStringLiteral("「%1」は既にあります。\r置き換えますか？")
                         .arg(QDir::toNativeSeparators(request.target)),
                     Dialogs::No) == Dialogs::No)
            return;
        RunningScope busy(mHost, QStringLiteral("暦を書き出しています。"));
        FileSession session;
        QProgressDialog progress(QStringLiteral("書き出しています…"), QStringLiteral("キャンセル"),
                                 0, 0, this);
        progress.setObjectName(QStringLiteral("prgExport"));
        progress.setWindowTitle(windowTitle());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        QElapsedTimer shown;
        shown.start();
        outcome = RunExport(session.db(), request, [&](int done, int total) {
            // The bar moves every 50 ms, which also lets Cancel be clicked.
            if (shown.elapsed() >= 50 || done == total) {
                shown.restart();
                progress.setMaximum(total);
                progress.setValue(done);
            }
            return !progress.wasCanceled();
        });
    } catch (const ExchangeError& e) {
        problem = e.text();
    } catch (const EngineError& e) {
        problem = StoreErrorText(e);
    }
    if (!problem.isEmpty()) {
        ShowWarning(QStringLiteral("書き出せませんでした。\r") + problem);
        return;
    }
    if (outcome.cancelled) {
        ShowInfo(QStringLiteral("書き出しを中止しました。ファイルは作られていません。"));
        return;
    }
    // The days chosen may still give nothing to write (iCalendar of days
    // without entries): nothing was written then.
    if (outcome.days == 0) {
        ShowWarning(QStringLiteral("書き出す日がありません。"));
        return;
    }
    QString done = QStringLiteral("%1 日分を書き出しました。\r%2")
                       .arg(outcome.days)
                       .arg(QDir::toNativeSeparators(request.target));
    if (!outcome.unprintable.isEmpty())
        done += QLatin1Char('\r') + UnprintableText(outcome.unprintable);
    if (!outcome.untold.isEmpty())
        done += QLatin1Char('\r') + UntoldText(outcome.untold);
    ShowInfo(done);
    accept();
}
