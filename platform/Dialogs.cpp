#include "platform/Dialogs.h"

#include "platform/PasswordBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

// The caller's text as a label must be given it: callers separate lines by
// CR (or CR LF), which a label draws as a space, or not at all, depending on
// the style; an LF it always draws as a line break.
QString labelText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

class RealDialogs final : public Dialogs::Provider
{
public:
    int message(Dialogs::Kind kind, const QString& title, const QString& text) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        // A message box wraps its own lines and keeps to the screen.
        box.setText(labelText(text));
        box.setWindowModality(Qt::ApplicationModal);
        switch (kind) {
        case Dialogs::Kind::Question:
            return question(title, text, Dialogs::Yes);
        case Dialogs::Kind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Dialogs::Kind::Warning:
        case Dialogs::Kind::Input:
        case Dialogs::Kind::Password:
        case Dialogs::Kind::Choice:
        case Dialogs::Kind::Folder:
            box.setIcon(QMessageBox::Warning);
            break;
        }
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return Dialogs::Ok;
    }

    int question(const QString& title, const QString& text, int defaultButton) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        box.setText(labelText(text));
        box.setWindowModality(Qt::ApplicationModal);
        box.setIcon(QMessageBox::Question);
        QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
        box.setDefaultButton(defaultButton == Dialogs::No ? no : yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == no ? Dialogs::No : Dialogs::Yes;
    }

    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& initial) override
    {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(title);
        const QString shown = labelText(prompt);
        dialog.setLabelText(shown);
        // An input box's label does not wrap by itself: a long prompt would
        // make the box wider than the screen. Wrapped, it is as wide as its
        // longest line, up to about 80 characters and what the screen holds
        // beside the box's margins and frame.
        if (auto* label = dialog.findChild<QLabel*>()) {
            label->setWordWrap(true);
            const QFontMetrics metrics = label->fontMetrics();
            const QScreen* screen =
                dialog.parentWidget() ? dialog.parentWidget()->screen() : dialog.screen();
            const int widest =
                std::min(metrics.averageCharWidth() * 80, screen->availableGeometry().width() - 80);
            int longest = 0;
            for (const QString& line : shown.split(QLatin1Char('\n')))
                longest = std::max(longest, metrics.horizontalAdvance(line));
            label->setMinimumWidth(std::min(longest, widest));
            label->setMaximumWidth(widest);
        }
        dialog.setTextValue(initial);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("キャンセル"));
        dialog.setWindowModality(Qt::ApplicationModal);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    Dialogs::PasswordAnswer password(const QString& title, const QString& prompt, bool confirm,
                                     const QString& alternative) override
    {
        PasswordBox box(QApplication::activeWindow(), title, labelText(prompt), confirm,
                        alternative);
        const int result = box.exec();
        Dialogs::PasswordAnswer answer;
        if (result == QDialog::Accepted)
            answer = {Dialogs::PasswordAnswer::Entered, box.takePassword()};
        else
            answer.what = result == PasswordBox::kAlternative ? Dialogs::PasswordAnswer::Alternative
                                                              : Dialogs::PasswordAnswer::Cancelled;
        box.takePassword();
        return answer;
    }

    int choice(const QString& title, const QString& text, const QStringList& buttons) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        box.setText(labelText(text));
        box.setWindowModality(Qt::ApplicationModal);
        box.setIcon(QMessageBox::Question);
        QList<QPushButton*> pressed;
        for (const QString& caption : buttons)
            pressed << box.addButton(caption, QMessageBox::ActionRole);
        if (!pressed.isEmpty()) {
            box.setDefaultButton(pressed.first());
            box.setEscapeButton(pressed.last());
        }
        box.exec();
        const qsizetype index = pressed.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
        return int(index < 0 ? buttons.size() - 1 : index);
    }

    std::optional<QString> folder(const QString& title, const QString& start) override
    {
        const QString chosen =
            QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, start);
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen;
    }
};

RealDialogs realDialogs;
Dialogs::Provider* current = nullptr;

} // namespace

Dialogs::Provider& Dialogs::provider()
{
    return current ? *current : realDialogs;
}

void Dialogs::setProvider(Provider* p)
{
    current = p;
}
