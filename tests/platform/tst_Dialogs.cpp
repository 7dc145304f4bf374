#include "platform/Dialogs.h"
#include "platform/PasswordBox.h"
#include "platform/basMain.h"
#include "tests/support/ModalBoxes.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestMain.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs `inspect` on the modal box as soon as it is up.
void whenModal(std::function<void(QWidget*)> inspect)
{
    AnswerModalBoxes({std::move(inspect)});
}

QStringList buttonTexts(QMessageBox* box)
{
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts << button->text();
    texts.sort();
    return texts;
}

} // namespace

class tst_Dialogs : public QObject
{
    Q_OBJECT

    struct Seen
    {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        QString text;
        bool modal = false;
    };

private slots:
    void warningBox()
    {
        auto seen = std::make_shared<Seen>();
        whenModal([seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            seen->title = box->windowTitle();
            seen->icon = box->icon();
            seen->buttons = buttonTexts(box);
            seen->text = box->text();
            seen->modal = box->isModal();
            ButtonWithText(box, QStringLiteral("OK"))->click();
        });
        ShowWarning(QStringLiteral("一行目\r\n二行目\r三行目"));
        QCOMPARE(seen->title, QStringLiteral("Zedu"));
        QCOMPARE(seen->icon, QMessageBox::Warning);
        QCOMPARE(seen->buttons, QStringList{QStringLiteral("OK")});
        // CR LF and CR alike become the line break every style draws.
        QCOMPARE(seen->text, QStringLiteral("一行目\n二行目\n三行目"));
        QVERIFY(seen->modal);
    }

    void questionBox()
    {
        for (const QString& press : {QStringLiteral("はい"), QStringLiteral("いいえ")}) {
            auto seen = std::make_shared<Seen>();
            whenModal([seen, press](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box);
                seen->title = box->windowTitle();
                seen->icon = box->icon();
                seen->buttons = buttonTexts(box);
                ButtonWithText(box, press)->click();
            });
            const int answer = AskYesNo(QStringLiteral("よろしいですか？"));
            QCOMPARE(answer, press == QStringLiteral("はい") ? Dialogs::Yes : Dialogs::No);
            QCOMPARE(seen->title, QStringLiteral("Zedu"));
            QCOMPARE(seen->icon, QMessageBox::Question);
            QCOMPARE(seen->buttons,
                     (QStringList{QStringLiteral("いいえ"), QStringLiteral("はい")}));
        }
    }

    void questionBoxDefaultButton()
    {
        for (const int wanted : {Dialogs::Yes, Dialogs::No}) {
            auto pressed = std::make_shared<QString>();
            whenModal([pressed](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box && box->defaultButton());
                *pressed = box->defaultButton()->text();
                box->defaultButton()->click();
            });
            QCOMPARE(AskYesNo(QStringLiteral("?"), wanted), wanted);
            QCOMPARE(*pressed,
                     wanted == Dialogs::Yes ? QStringLiteral("はい") : QStringLiteral("いいえ"));
        }
    }

    void questionBoxClosedCountsAsNo()
    {
        whenModal([](QWidget* w) { w->close(); });
        QCOMPARE(AskYesNo(QStringLiteral("?")), Dialogs::No);
    }

    void informationBox()
    {
        auto seen = std::make_shared<Seen>();
        whenModal([seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            seen->icon = box->icon();
            seen->title = box->windowTitle();
            ButtonWithText(box, QStringLiteral("OK"))->click();
        });
        ShowInfo(QStringLiteral("完了"));
        QCOMPARE(seen->icon, QMessageBox::Information);
        QCOMPARE(seen->title, QStringLiteral("Zedu"));
    }

    void inputBox()
    {
        auto prefilled = std::make_shared<QString>();
        auto title = std::make_shared<QString>();
        auto hasCancel = std::make_shared<bool>(false);
        whenModal([=](QWidget* w) {
            auto* dialog = qobject_cast<QInputDialog*>(w);
            QVERIFY(dialog);
            *title = dialog->windowTitle();
            *prefilled = dialog->textValue();
            *hasCancel = ButtonWithText(dialog, QStringLiteral("キャンセル")) != nullptr;
            dialog->setTextValue(QStringLiteral("200012"));
            ButtonWithText(dialog, QStringLiteral("OK"))->click();
        });
        int ym = 199907;
        QVERIFY(InputYearMonth(ym, 199901, 200412, QStringLiteral("年月")));
        QCOMPARE(ym, 200012);
        QCOMPARE(*title, QStringLiteral("年月の入力"));
        QCOMPARE(*prefilled, QStringLiteral("199907"));
        QVERIFY(*hasCancel);

        whenModal([](QWidget* w) { ButtonWithText(w, QStringLiteral("キャンセル"))->click(); });
        QVERIFY(!InputYearMonth(ym, 199901, 200412, QStringLiteral("年月")));
        QCOMPARE(ym, 200012);
    }

    void passwordBox_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("again");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("what");
        QTest::newRow("typed once")
            << false << QString() << QStringLiteral("OK") << int(Dialogs::PasswordAnswer::Entered);
        QTest::newRow("typed twice alike")
            << true << QStringLiteral("秘密 word") << QStringLiteral("OK")
            << int(Dialogs::PasswordAnswer::Entered);
        QTest::newRow("typed twice unlike: OK stays off")
            << true << QStringLiteral("秘密 wort") << QStringLiteral("キャンセル")
            << int(Dialogs::PasswordAnswer::Cancelled);
        QTest::newRow("the third choice") << false << QString() << QStringLiteral("回復キーを使う")
                                          << int(Dialogs::PasswordAnswer::Alternative);
    }
    void passwordBox()
    {
        QFETCH(bool, confirm);
        QFETCH(QString, again);
        QFETCH(QString, press);
        QFETCH(int, what);
        auto seen = std::make_shared<Seen>();
        auto okEnabled = std::make_shared<bool>(false);
        whenModal([=](QWidget* w) {
            auto* box = qobject_cast<PasswordBox*>(w);
            QVERIFY(box);
            seen->title = box->windowTitle();
            seen->modal = box->isModal();
            QCOMPARE(box->txtPassword->echoMode(), QLineEdit::Password);
            QVERIFY(!box->cmdOk->isEnabled());
            box->txtPassword->insert(QStringLiteral("秘密 word"));
            if (confirm) {
                QCOMPARE(box->txtPasswordAgain->echoMode(), QLineEdit::Password);
                box->txtPasswordAgain->insert(again);
                seen->text = box->lblMismatch->text();
            }
            *okEnabled = box->cmdOk->isEnabled();
            ButtonWithText(box, press)->click();
        });
        Dialogs::PasswordAnswer answer =
            Dialogs::provider().password(QStringLiteral("Zedu"), QStringLiteral("パスワード"),
                                         confirm, QStringLiteral("回復キーを使う"));
        QCOMPARE(int(answer.what), what);
        QCOMPARE(answer.text, what == Dialogs::PasswordAnswer::Entered ? QStringLiteral("秘密 word")
                                                                       : QString());
        QCOMPARE(seen->title, QStringLiteral("Zedu"));
        QVERIFY(seen->modal);
        QCOMPARE(*okEnabled, press == QStringLiteral("OK") || !confirm);
        QCOMPARE(seen->text, again.isEmpty() || again == QStringLiteral("秘密 word")
                                 ? QString()
                                 : QStringLiteral("パスワードが一致しません。"));
    }

    void newPasswordStrength_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("strength");
        // The answer to the question a weak one brings; 0 when none comes.
        QTest::addColumn<int>("answer");
        QTest::newRow("a common word") << u"password"_s << u"弱い"_s << Dialogs::No;
        QTest::newRow("a common word, taken all the same")
            << u"password"_s << u"弱い"_s << Dialogs::Yes;
        QTest::newRow("full-width letters as ASCII")
            << u"ｓｅｃｒｅｔ"_s << u"弱い"_s << Dialogs::No;
        QTest::newRow("letters, digits and signs") << u"Tr0ub4dour&3"_s << u"普通"_s << 0;
        QTest::newRow("three kanji: 11 bits each at most") << u"合言葉"_s << u"普通"_s << 0;
        QTest::newRow("four words") << u"correcthorsebatterystaple"_s << u"強い"_s << 0;
    }
    void newPasswordStrength()
    {
        QFETCH(QString, typed);
        QFETCH(QString, strength);
        QFETCH(int, answer);
        // The box itself; the question it asks goes through the seam.
        ScriptedDialogs boxes;
        if (answer == Dialogs::Yes)
            boxes.yes();
        else if (answer == Dialogs::No)
            boxes.no();
        PasswordBox box(nullptr, u"Zedu"_s, u"新しいパスワード"_s, true, QString());
        box.show();
        box.txtPassword->setText(typed);
        box.txtPasswordAgain->setText(typed);
        QCOMPARE(box.lblStrength->text(), u"パスワードの強さ："_s + strength);
        box.cmdOk->click();
        QCOMPARE(boxes.pending(), 0);
        QCOMPARE(boxes.texts(), answer ? QStringList{u"このパスワードは弱いため、推測されるおそれ"
                                                     "があります。\rこのまま使いますか？"_s}
                                       : QStringList());
        if (answer)
            QCOMPARE(boxes.boxes[0].defaultButton, Dialogs::No);
        QCOMPARE(box.isVisible(), answer == Dialogs::No);
        QCOMPARE(box.result() == QDialog::Accepted, answer != Dialogs::No);
    }

    void choiceBox()
    {
        whenModal([](QWidget* w) { ButtonWithText(w, QStringLiteral("二"))->click(); });
        QCOMPARE(Dialogs::provider().choice(
                     QStringLiteral("Zedu"), QStringLiteral("どれ？"),
                     {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("やめる")}),
                 1);
        whenModal([](QWidget* w) { w->close(); });
        QCOMPARE(Dialogs::provider().choice(QStringLiteral("Zedu"), QStringLiteral("どれ？"),
                                            {QStringLiteral("一"), QStringLiteral("やめる")}),
                 1);
    }

    void scriptedBoxesReplaceTheRealOnes()
    {
        {
            ScriptedDialogs boxes;
            boxes.yes();
            QCOMPARE(AskYesNo(QStringLiteral("?")), Dialogs::Yes);
            QCOMPARE(boxes.pending(), 0);
        }
        // Once the script is gone the real boxes are back.
        whenModal([](QWidget* w) { ButtonWithText(w, QStringLiteral("いいえ"))->click(); });
        QCOMPARE(AskYesNo(QStringLiteral("?")), Dialogs::No);
    }
};

ZEDU_TEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
