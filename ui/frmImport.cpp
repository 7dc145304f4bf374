#include "ui/frmImport.h"

#include "platform/Running.h"
#include "platform/basMain.h"
#include "store/Engine.h"
#include "store/FileSession.h"
#include "ui/ExchangeWidgets.h"
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString dayText(int key)
{
    return QStringLiteral("%1/%2/%3")
        .arg(key / 10000, 4, 10, QLatin1Char('0'))
        .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(key % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

frmImport::frmImport(RunningHost* host, std::function<bool()> backup, QWidget* parent)
    : QDialog(parent), mHost(host), mBackup(std::move(backup))
{
    txtSource = new QLineEdit(this);
    txtSource->setObjectName(QStringLiteral("txtSource"));
    txtSource->setMinimumWidth(360);
    cmdBrowse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdRead = new QPushButton(QStringLiteral("読み込む(&L)"), this);
    cmdRead->setObjectName(QStringLiteral("cmdRead"));
    auto* source = new QHBoxLayout;
    source->addWidget(txtSource, 1);
    source->addWidget(cmdBrowse);
    source->addWidget(cmdRead);

    lblFound = new QLabel(this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setTextFormat(Qt::PlainText);
    lblFound->setMinimumHeight(lblFound->fontMetrics().lineSpacing() * 4);
    lblFound->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* existing = new QGroupBox(QStringLiteral("内容が異なる日は"), this);
    optReplace = new QRadioButton(QStringLiteral("置き換える(&R)"), existing);
    optReplace->setObjectName(QStringLiteral("optReplace"));
    optAppend = new QRadioButton(QStringLiteral("後ろに追加する(&A)"), existing);
    optAppend->setObjectName(QStringLiteral("optAppend"));
    optKeep = new QRadioButton(QStringLiteral("取り込まない(&K)"), existing);
    optKeep->setObjectName(QStringLiteral("optKeep"));
    optKeep->setChecked(true);
    auto* choices = new QHBoxLayout(existing);
    choices->addWidget(optReplace);
    choices->addWidget(optAppend);
    choices->addWidget(optKeep);
    choices->addStretch();

    chkExtend = new QCheckBox(
        QStringLiteral(
            "登録範囲外の日のために登録暦範囲を広げる(&X)（広げないときは取り込みません）"),
        this);
    chkExtend->setObjectName(QStringLiteral("chkExtend"));
    chkWorkdays = new QCheckBox(QStringLiteral("平日・休日も取り込む(&W)"), this);
    chkWorkdays->setObjectName(QStringLiteral("chkWorkdays"));

    auto* form = new QFormLayout;
    auto* sourceLabel = new QLabel(QStringLiteral("ファイル(&F):"), this);
    sourceLabel->setBuddy(txtSource);
    form->addRow(sourceLabel, source);
    form->addRow(QStringLiteral("見つかった日:"), lblFound);
    form->addRow(existing);
    form->addRow(chkExtend);
    form->addRow(chkWorkdays);

    cmdImport = SetUpExchangeWindow(this, "frmImport", QStringLiteral("ｲﾝﾎﾟｰﾄ"), form,
                                    QStringLiteral("取り込む(&I)"), "cmdImport");

    connect(cmdBrowse, &QPushButton::clicked, this, &frmImport::cmdBrowse_Click);
    connect(cmdRead, &QPushButton::clicked, this, &frmImport::cmdRead_Click);
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    // What was found is forgotten as soon as the file box names another
    // file, however its text changed. Enter in the box only reads the file
    // (see eventFilter), and the box's focus decides the default button.
    connect(txtSource, &QLineEdit::textChanged, this, [this] {
        if (mRead && sourcePath() != mReadPath)
            forget();
    });
    txtSource->installEventFilter(this);
    forget();
}

QString frmImport::sourcePath() const
{
    return QDir::fromNativeSeparators(txtSource->text().trimmed());
}

bool frmImport::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtSource) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                // Taken here, so that the window's default button never
                // sees the same keystroke.
                cmdRead_Click();
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            chooseDefault();
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmImport::chooseDefault()
{
    // 取り込む is the default only for the file shown, and never while the
    // file box has the keyboard: Enter there means "read this file".
    const bool ready = mRead && !txtSource->hasFocus();
    cmdImport->setDefault(ready);
    cmdRead->setDefault(!ready);
}

QString frmImport::foundText() const
{
    return lblFound->text();
}

void frmImport::forget()
{
    mRead = false;
    mReadPath.clear();
    mFile = ImportFile();
    lblFound->setText(QStringLiteral("（ファイルを読み込むと、ここに表示されます）"));
    for (QWidget* w : std::initializer_list<QWidget*>{optReplace, optAppend, optKeep, chkExtend,
                                                      chkWorkdays, cmdImport})
        w->setEnabled(false);
    chooseDefault();
}

void frmImport::cmdBrowse_Click()
{
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("取り込むファイル"), txtSource->text(),
        QStringLiteral("取り込めるファイル (*.json *.csv *.ics *.ical);;"
                       "JSON ファイル (*.json);;CSV ファイル (*.csv);;"
                       "iCalendar ファイル (*.ics *.ical);;すべてのファイル (*)"));
    if (chosen.isEmpty())
        return;
    txtSource->setText(QDir::toNativeSeparators(chosen));
    cmdRead_Click();
}

void frmImport::cmdRead_Click()
{
    forget();
    const QString path = sourcePath();
    if (path.isEmpty()) {
        ShowWarning(QStringLiteral("取り込むファイルを指定して下さい。"));
        return;
    }
    ReadResult read;
    try {
        RunningScope busy(mHost, QStringLiteral("ファイルを読み込んでいます。"));
        StoredRange stored;
        {
            FileSession session;
            stored = ReadStoredRange(session.db());
        }
        read = ReadImportFile(path, stored);
    } catch (const EngineError& e) {
        ShowWarning(StoreErrorText(e));
        return;
    }
    if (!read.ok()) {
        ShowWarning(QStringLiteral("ファイルを読み込めませんでした。\r") + read.error);
        return;
    }
    if (read.file.days.isEmpty()) {
        ShowWarning(QStringLiteral("ファイルに取り込める日がありません。"));
        return;
    }
    ImportSurvey survey;
    try {
        RunningScope busy(mHost, QStringLiteral("暦と照らし合わせています。"));
        survey = SurveyImport(read.file.days);
    } catch (const EngineError& e) {
        ShowWarning(StoreErrorText(e));
        return;
    }
    mFile = std::move(read.file);
    mRead = true;
    mReadPath = path;
    QStringList lines;
    lines << QStringLiteral("%1 日（%2～%3）")
                 .arg(survey.days)
                 .arg(dayText(mFile.days.first().key), dayText(mFile.days.last().key));
    if (!mFile.encoding.isEmpty())
        lines << QStringLiteral("文字コード: ") + mFile.encoding;
    lines << (survey.stored.isEmpty() ? QStringLiteral("登録範囲外の日: %1 日").arg(survey.outside)
                                      : QStringLiteral("登録範囲（%1～%2）外の日: %3 日")
                                            .arg(MonthRangePicker::MonthText(survey.stored.firstYm),
                                                 MonthRangePicker::MonthText(survey.stored.lastYm))
                                            .arg(survey.outside));
    lines << QStringLiteral("予定の内容が異なる日: %1 日").arg(survey.differing);
    lblFound->setText(lines.join(QLatin1Char('\n')));
    const bool differing = survey.differing > 0;
    optReplace->setEnabled(differing);
    optAppend->setEnabled(differing);
    optKeep->setEnabled(differing);
    chkExtend->setEnabled(survey.outside > 0);
    chkWorkdays->setEnabled(mFile.hasWorkdays);
    cmdImport->setEnabled(true);
    chooseDefault();
}

void frmImport::cmdImport_Click()
{
    if (!mRead)
        return;
    ImportChoice choice;
    choice.existing = optReplace->isChecked()  ? ExistingEntries::Replace
                      : optAppend->isChecked() ? ExistingEntries::Append
                                               : ExistingEntries::Keep;
    choice.extendRange = chkExtend->isEnabled() && chkExtend->isChecked();
    choice.workdays = chkWorkdays->isEnabled() && chkWorkdays->isChecked();
    if (mBackup && !mBackup())
        return;
    ImportOutcome outcome;
    try {
        RunningScope busy(mHost, QStringLiteral("取り込んでいます。"));
        outcome = ApplyImport(mFile.days, choice);
    } catch (const EngineError& e) {
        ShowWarning(QStringLiteral("取り込めませんでした。暦は変わっていません。\r") +
                    StoreErrorText(e));
        return;
    }
    emit imported();
    QStringList done;
    done << (outcome.taken > 0
                 ? QStringLiteral("%1 日分を取り込みました。").arg(outcome.taken)
                 : QStringLiteral("取り込んだ日はありません。暦は変わっていません。"));
    if (outcome.kept > 0)
        done << QStringLiteral("内容が異なる %1 日は取り込みませんでした。").arg(outcome.kept);
    if (outcome.unchanged > 0)
        done << QStringLiteral("%1 日は変わりませんでした。").arg(outcome.unchanged);
    if (outcome.leftOut > 0)
        done << QStringLiteral("登録範囲外の %1 日は取り込みませんでした。").arg(outcome.leftOut);
    ShowInfo(done.join(QLatin1Char('\r')));
    accept();
}
