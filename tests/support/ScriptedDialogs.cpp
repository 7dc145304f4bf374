#include "tests/support/ScriptedDialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs()
{
    previous = &Dialogs::provider();
    Dialogs::setProvider(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::setProvider(nullptr);
}

void ScriptedDialogs::ok()
{
    answers.push_back({Answer::Ok, {}});
}
void ScriptedDialogs::yes()
{
    answers.push_back({Answer::Yes, {}});
}
void ScriptedDialogs::no()
{
    answers.push_back({Answer::No, {}});
}
void ScriptedDialogs::input(const QString& answer)
{
    answers.push_back({Answer::Text, answer});
}
void ScriptedDialogs::cancel()
{
    answers.push_back({Answer::Cancel, {}});
}

void ScriptedDialogs::password(const QString& typed)
{
    answers.push_back({Answer::Password, typed});
}
void ScriptedDialogs::alternative()
{
    answers.push_back({Answer::Alternative, {}});
}
void ScriptedDialogs::choose(int index)
{
    answers.push_back({Answer::Choice, {}, index});
}
void ScriptedDialogs::folder(const QString& path)
{
    answers.push_back({Answer::Folder, path});
}

QStringList ScriptedDialogs::texts() const
{
    QStringList list;
    for (const Box& box : boxes)
        list << box.text;
    return list;
}

QString kindName(Dialogs::Kind kind)
{
    switch (kind) {
    case Dialogs::Kind::Warning:
        return QStringLiteral("warning");
    case Dialogs::Kind::Question:
        return QStringLiteral("question");
    case Dialogs::Kind::Information:
        return QStringLiteral("information");
    case Dialogs::Kind::Input:
        return QStringLiteral("input");
    case Dialogs::Kind::Password:
        return QStringLiteral("password");
    case Dialogs::Kind::Choice:
        return QStringLiteral("choice");
    case Dialogs::Kind::Folder:
        return QStringLiteral("folder");
    }
    return QString();
}

ScriptedDialogs::Box ScriptedDialogs::boxOf(Dialogs::Kind kind, const QString& title,
                                            const QString& text)
{
    Box box;
    box.kind = kind;
    box.title = title;
    box.text = text;
    return box;
}

void ScriptedDialogs::unexpected(const QString& what)
{
    const QByteArray message = what.toUtf8();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
}

int ScriptedDialogs::message(Dialogs::Kind kind, const QString& title, const QString& text)
{
    Box box = boxOf(kind, title, text);
    box.defaultButton = kind == Dialogs::Kind::Question ? Dialogs::Yes : 0;
    return respond(box);
}

int ScriptedDialogs::question(const QString& title, const QString& text, int defaultButton)
{
    Box box = boxOf(Dialogs::Kind::Question, title, text);
    box.defaultButton = defaultButton;
    return respond(box);
}

int ScriptedDialogs::respond(const Box& box)
{
    const std::optional<Answer> answer = next(box);
    if (!answer)
        return Dialogs::No;
    const bool isQuestion = box.kind == Dialogs::Kind::Question;
    if (isQuestion && (answer->what == Answer::Yes || answer->what == Answer::No))
        return answer->what == Answer::Yes ? Dialogs::Yes : Dialogs::No;
    if (!isQuestion && answer->what == Answer::Ok)
        return Dialogs::Ok;
    unexpected(QStringLiteral("%1 box answered with the wrong kind of answer: %2")
                   .arg(kindName(box.kind), box.text));
    return Dialogs::No;
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::next(const Box& box)
{
    boxes.append(box);
    if (onBox)
        onBox(boxes.last());
    if (answers.empty()) {
        unexpected(QStringLiteral("unexpected %1 box: %2").arg(kindName(box.kind), box.text));
        return std::nullopt;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::input(const QString& title, const QString& prompt,
                                              const QString& initial)
{
    Box box = boxOf(Dialogs::Kind::Input, title, prompt);
    box.initial = initial;
    const std::optional<Answer> answer = next(box);
    if (!answer)
        return std::nullopt;
    if (answer->what == Answer::Text)
        return answer->text;
    if (answer->what != Answer::Cancel)
        unexpected(QStringLiteral("input box answered with a button: %1").arg(prompt));
    return std::nullopt;
}

Dialogs::PasswordAnswer ScriptedDialogs::password(const QString& title, const QString& prompt,
                                                  bool confirm, const QString& alternative)
{
    Box box = boxOf(Dialogs::Kind::Password, title, prompt);
    box.confirm = confirm;
    box.alternative = alternative;
    const std::optional<Answer> answer = next(box);
    if (!answer)
        return {};
    switch (answer->what) {
    case Answer::Password:
        return {Dialogs::PasswordAnswer::Entered, answer->text};
    case Answer::Alternative:
        if (alternative.isEmpty())
            break;
        return {Dialogs::PasswordAnswer::Alternative, {}};
    case Answer::Cancel:
        return {};
    default:
        break;
    }
    unexpected(
        QStringLiteral("password box answered with the wrong kind of answer: %1").arg(prompt));
    return {};
}

int ScriptedDialogs::choice(const QString& title, const QString& text, const QStringList& buttons)
{
    Box box = boxOf(Dialogs::Kind::Choice, title, text);
    box.buttons = buttons;
    const std::optional<Answer> answer = next(box);
    if (answer && answer->what == Answer::Choice && answer->index >= 0 &&
        answer->index < buttons.size())
        return answer->index;
    if (answer)
        unexpected(
            QStringLiteral("choice box answered with the wrong kind of answer: %1").arg(text));
    return int(buttons.size()) - 1;
}

std::optional<QString> ScriptedDialogs::folder(const QString& title, const QString& start)
{
    Box box = boxOf(Dialogs::Kind::Folder, title, title);
    box.initial = start;
    const std::optional<Answer> answer = next(box);
    if (!answer)
        return std::nullopt;
    if (answer->what == Answer::Folder)
        return answer->text;
    if (answer->what != Answer::Cancel)
        unexpected(
            QStringLiteral("folder chooser answered with the wrong kind of answer: %1").arg(title));
    return std::nullopt;
}
