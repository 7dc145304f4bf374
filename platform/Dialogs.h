#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Every message box and input box of the program passes through this seam.
// The real provider shows modal Qt boxes titled "Zedu" with Japanese button
// texts; tests install a scripted provider that answers from a queue.
namespace Dialogs {

enum class Kind
{
    Warning,
    Question,
    Information,
    Input,
    Password,
    Choice,
    Folder
};

// Results of a question box; the values are the ones callers compare with.
constexpr int Yes = 6;
constexpr int No = 7;
// Result of a box that has only an OK button.
constexpr int Ok = 1;

// What a password box gives back.
struct PasswordAnswer
{
    enum What
    {
        Entered,    // OK with the password typed
        Cancelled,  // Cancel, or the box closed
        Alternative // the box's other choice (回復キーを使う)
    };
    What what = Cancelled;
    QString text;
};

class Provider
{
public:
    virtual ~Provider() = default;
    // Shows a message box of the given kind and returns the button pressed.
    virtual int message(Kind kind, const QString& title, const QString& text) = 0;
    // Shows a question box whose default button (the one Return presses) is
    // `defaultButton`, Yes or No. Providers that do not care about the
    // default show it as any question.
    virtual int question(const QString& title, const QString& text, int defaultButton)
    {
        (void)defaultButton;
        return message(Kind::Question, title, text);
    }
    // Shows an input box; std::nullopt when the user cancelled.
    virtual std::optional<QString> input(const QString& title, const QString& prompt,
                                         const QString& initial) = 0;
    // Shows a password box: `prompt` above a field whose characters are not
    // shown, and with `confirm` a second one to type it again (OK only when
    // both match). A non-empty `alternative` is a third button beside OK and
    // Cancel. Providers that show no such box cancel it.
    virtual PasswordAnswer password(const QString& title, const QString& prompt, bool confirm,
                                    const QString& alternative)
    {
        (void)title, (void)prompt, (void)confirm, (void)alternative;
        return {};
    }
    // Shows `text` with one button per entry of `buttons`, the last one
    // pressed by Escape; returns the index of the button pressed. Providers
    // that show no such box press the last button.
    virtual int choice(const QString& title, const QString& text, const QStringList& buttons)
    {
        (void)title, (void)text;
        return int(buttons.size()) - 1;
    }
    // Shows a folder chooser titled `title`, opened at `start`; the folder
    // chosen, or std::nullopt when the user cancelled. Providers that show
    // no such box cancel it.
    virtual std::optional<QString> folder(const QString& title, const QString& start)
    {
        (void)title, (void)start;
        return std::nullopt;
    }
};

// The provider in use: the real boxes unless a test installed its own.
Provider& provider();
// Installs `p` (not owned); nullptr goes back to the real boxes.
void setProvider(Provider* p);

} // namespace Dialogs
