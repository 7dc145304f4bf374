#include "platform/Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

class RealDialogs final : public Dialogs::Provider
{
public:
    int message(Dialogs::Kind kind, const QString& title, const QString& text) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        box.setText(text);
        box.setWindowModality(Qt::ApplicationModal);
        switch (kind) {
        case Dialogs::Kind::Question:
            return question(title, text, Dialogs::Yes);
        case Dialogs::Kind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Dialogs::Kind::Warning:
        case Dialogs::Kind::Input:
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
        box.setText(text);
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
        dialog.setLabelText(prompt);
        dialog.setTextValue(initial);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("キャンセル"));
        dialog.setWindowModality(Qt::ApplicationModal);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
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
