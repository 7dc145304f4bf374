#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The real password box of the dialog seam: a prompt, one field whose
// characters are not shown, or two (the second to type the password again),
// OK, Cancel, and an optional third choice. OK is pressed only on a
// password that is not empty and, with two fields, typed the same twice;
// with two fields, Return in the first moves on to the second. With two
// fields (a new password) the box shows how strong the password is as it is
// typed, and OK on a weak one asks whether to use it all the same.
class PasswordBox : public QDialog
{
    Q_OBJECT

public:
    // The result of exec() when the third choice was pressed.
    static constexpr int kAlternative = 2;

    PasswordBox(QWidget* parent, const QString& title, const QString& prompt, bool confirm,
                const QString& alternative);

    // The password typed; the fields are emptied.
    QString takePassword();

    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtPasswordAgain = nullptr;
    QLabel* lblMismatch = nullptr;
    QLabel* lblStrength = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdAlternative = nullptr;

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
};
