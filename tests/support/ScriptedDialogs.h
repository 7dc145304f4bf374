#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// A dialog provider for tests. While an instance lives it answers every box
// from a queue of answers and records what each box showed. A box that finds
// no queued answer (or one of the wrong kind) fails the running test at once
// and is answered No / Cancel, so that nothing can wait for a user.
class ScriptedDialogs final : public Dialogs::Provider
{
public:
    struct Box
    {
        Dialogs::Kind kind = Dialogs::Kind::Warning;
        QString title;
        QString text;    // the message, or the prompt of an input box
        QString initial; // pre-filled answer of an input box, where a folder chooser opens
        // The button Return presses in a question: Dialogs::Yes or
        // Dialogs::No; 0 for other boxes.
        int defaultButton = 0;
        // A password box: asks for the password twice; its third choice.
        bool confirm = false;
        QString alternative;
        // A choice box: its buttons.
        QStringList buttons;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue the answer for the next box.
    void ok();  // a warning or information box
    void yes(); // a question
    void no();  // a question
    void input(const QString& answer);
    void cancel(); // an input box, a password box or a folder chooser
    void password(const QString& typed);
    void alternative(); // a password box's third choice
    void choose(int index);
    void folder(const QString& path); // a folder chooser

    QList<Box> boxes;
    // Texts of the boxes shown, in order.
    QStringList texts() const;
    // Answers queued but not used yet.
    int pending() const { return int(answers.size()); }
    // Forget the boxes recorded so far.
    void clear() { boxes.clear(); }
    // Called as each box comes up, before it is answered.
    std::function<void(const Box&)> onBox;

    int message(Dialogs::Kind kind, const QString& title, const QString& text) override;
    int question(const QString& title, const QString& text, int defaultButton) override;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& initial) override;
    Dialogs::PasswordAnswer password(const QString& title, const QString& prompt, bool confirm,
                                     const QString& alternative) override;
    int choice(const QString& title, const QString& text, const QStringList& buttons) override;
    std::optional<QString> folder(const QString& title, const QString& start) override;

private:
    struct Answer
    {
        enum
        {
            Ok,
            Yes,
            No,
            Text,
            Cancel,
            Password,
            Alternative,
            Choice,
            Folder
        } what;
        QString text;
        int index = 0;
    };
    // The next answer for `box`, recorded first; none when the queue is
    // empty (the test fails).
    std::optional<Answer> next(const Box& box);
    static Box boxOf(Dialogs::Kind kind, const QString& title, const QString& text);
    std::deque<Answer> answers;
    Dialogs::Provider* previous = nullptr;
    void unexpected(const QString& what);
    int respond(const Box& box);
};

QString kindName(Dialogs::Kind kind);
