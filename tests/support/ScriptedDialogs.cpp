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
    }
    return QString();
}

void ScriptedDialogs::unexpected(const QString& what)
{
    const QByteArray message = what.toUtf8();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
}

int ScriptedDialogs::message(Dialogs::Kind kind, const QString& title, const QString& text)
{
    return respond({kind, title, text, {}, kind == Dialogs::Kind::Question ? Dialogs::Yes : 0});
}

int ScriptedDialogs::question(const QString& title, const QString& text, int defaultButton)
{
    return respond({Dialogs::Kind::Question, title, text, {}, defaultButton});
}

int ScriptedDialogs::respond(const Box& box)
{
    const Dialogs::Kind kind = box.kind;
    const QString& text = box.text;
    boxes.append(box);
    if (onBox)
        onBox(boxes.last());
    if (answers.empty()) {
        unexpected(QStringLiteral("unexpected %1 box: %2").arg(kindName(kind), text));
        return Dialogs::No;
    }
    const Answer next = answers.front();
    answers.pop_front();
    const bool isQuestion = kind == Dialogs::Kind::Question;
    if (isQuestion && (next.what == Answer::Yes || next.what == Answer::No))
        return next.what == Answer::Yes ? Dialogs::Yes : Dialogs::No;
    if (!isQuestion && next.what == Answer::Ok)
        return Dialogs::Ok;
    unexpected(QStringLiteral("%1 box answered with the wrong kind of answer: %2")
                   .arg(kindName(kind), text));
    return Dialogs::No;
}

std::optional<QString> ScriptedDialogs::input(const QString& title, const QString& prompt,
                                              const QString& initial)
{
    boxes.append({Dialogs::Kind::Input, title, prompt, initial, 0});
    if (onBox)
        onBox(boxes.last());
    if (answers.empty()) {
        unexpected(QStringLiteral("unexpected input box: %1").arg(prompt));
        return std::nullopt;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    if (answer.what == Answer::Text)
        return answer.text;
    if (answer.what != Answer::Cancel)
        unexpected(QStringLiteral("input box answered with a button: %1").arg(prompt));
    return std::nullopt;
}
