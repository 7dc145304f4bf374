#include "platform/PasswordBox.h"

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
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
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
    }
    cmdOk->setEnabled(ready);
}

QString PasswordBox::takePassword()
{
    const QString typed = txtPassword->text();
    txtPassword->clear();
    if (txtPasswordAgain)
        txtPasswordAgain->clear();
    return typed;
}
