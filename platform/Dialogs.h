#pragma once

#include <QString>

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
    Input
};

// Results of a question box; the values are the ones callers compare with.
constexpr int Yes = 6;
constexpr int No = 7;
// Result of a box that has only an OK button.
constexpr int Ok = 1;

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
};

// The provider in use: the real boxes unless a test installed its own.
Provider& provider();
// Installs `p` (not owned); nullptr goes back to the real boxes.
void setProvider(Provider* p);

} // namespace Dialogs
