#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

// Texts turned into UTF-8 on a second thread, ahead of a loop that writes
// them one by one into the calendar: on a large import the conversion then
// takes none of the loop's own time.
class Utf8Ahead
{
public:
    explicit Utf8Ahead(std::vector<QString> texts);
    // Stops the thread where it is, also when the loop ends early.
    ~Utf8Ahead();
    Utf8Ahead(const Utf8Ahead&) = delete;
    Utf8Ahead& operator=(const Utf8Ahead&) = delete;

    // Text `i` in UTF-8, waiting for the thread when it is not there yet;
    // none for a null text, which binds as NULL, and for a text with a lone
    // surrogate, which is left to SQLite to convert as it stores such text.
    const std::optional<QByteArray>& at(size_t i);

private:
    void encode();

    const std::vector<QString> mTexts;
    std::vector<std::optional<QByteArray>> mUtf8;
    // How many texts from the first are ready.
    std::atomic<size_t> mReady = 0;
    std::atomic<bool> mStop = false;
    std::thread mThread;
};
