#include "platform/PasswordBox.h"

#include "platform/Dialogs.h"
#include "platform/PasswordStrength.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* maskedField(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setEchoMode(QLineEdit::Password);
    // No input method: a password is typed as it is, never converted.
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    return field;
}

} // namespace

PasswordBox::PasswordBox(QWidget* parent, const QString& title, const QString& prompt, bool confirm,
                         const QString& alternative)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordBox"));
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(prompt, this);
    label->setObjectName(QStringLiteral("lblPrompt"));
    label->setWordWrap(true);
    label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 72);
    layout->addWidget(label);
    txtPassword = maskedField(this, "txtPassword");
    layout->addWidget(txtPassword);
    if (confirm) {
        lblStrength = new QLabel(this);
        lblStrength->setObjectName(QStringLiteral("lblStrength"));
        layout->addWidget(lblStrength);
        auto* again = new QLabel(QStringLiteral("確認のため、もう一度入力して下さい。"), this);
        layout->addWidget(again);
        txtPasswordAgain = maskedField(this, "txtPasswordAgain");
        layout->addWidget(txtPasswordAgain);
        lblMismatch = new QLabel(this);
        lblMismatch->setObjectName(QStringLiteral("lblMismatch"));
        lblMismatch->setStyleSheet(QStringLiteral("color: #c00000"));
        layout->addWidget(lblMismatch);
        connect(txtPasswordAgain, &QLineEdit::textChanged, this, &PasswordBox::update);
        // OK waits for the second field, so Return in the first leads there
        // instead of pressing a button that cannot be pressed yet.
        txtPassword->installEventFilter(this);
    }
    connect(txtPassword, &QLineEdit::textChanged, this, &PasswordBox::update);

    auto* buttons = new QDialogButtonBox(this);
    cmdOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    if (!alternative.isEmpty()) {
        cmdAlternative = buttons->addButton(alternative, QDialogButtonBox::ActionRole);
        cmdAlternative->setObjectName(QStringLiteral("cmdAlternative"));
        cmdAlternative->setAutoDefault(false);
        connect(cmdAlternative, &QPushButton::clicked, this, [this] { done(kAlternative); });
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordBox::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    update();
    txtPassword->setFocus();
}

bool PasswordBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtPassword && txtPasswordAgain && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            txtPasswordAgain->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PasswordBox::update()
{
    const QString typed = txtPassword->text();
    bool ready = !typed.isEmpty();
    if (txtPasswordAgain) {
        const QString again = txtPasswordAgain->text();
        const bool differs = !again.isEmpty() && again != typed;
        lblMismatch->setText(differs ? QStringLiteral("パスワードが一致しません。") : QString());
        ready = ready && again == typed;
        const PasswordStrength strength = EstimatePasswordStrength(typed);
        lblStrength->setText(typed.isEmpty() ? QString()
                                             : QStringLiteral("パスワードの強さ：") +
                                                   PasswordStrengthWord(strength));
        lblStrength->setStyleSheet(
            strength < kPasswordStrengthWarnedBelow ? QStringLiteral("color: #c00000") : QString());
    }
    cmdOk->setEnabled(ready);
}

void PasswordBox::accept()
{
    // A warning, never a refusal: the user may know better.
    if (lblStrength &&
        EstimatePasswordStrength(txtPassword->text()) < kPasswordStrengthWarnedBelow &&
        Dialogs::provider().question(windowTitle(),
                                     QStringLiteral("このパスワードは弱いため、推測されるおそれがあ"
                                                    "ります。\rこのまま使いますか？"),
                                     Dialogs::No) != Dialogs::Yes) {
        txtPassword->setFocus(Qt::OtherFocusReason);
        txtPassword->selectAll();
        return;
    }
    QDialog::accept();
}

QString PasswordBox::takePassword()
{
    const QString typed = txtPassword->text();
    txtPassword->clear();
    if (txtPasswordAgain)
        txtPasswordAgain->clear();
    return typed;
}
