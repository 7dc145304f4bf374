#include "app/CommandLinePassword.h"

#include <cerrno>
#include <csignal>
#include <cstddef>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

// Longer lines are cut: no password is that long.
constexpr std::size_t kLongest = 4096;

std::optional<SecureBytes> readLine(int fd)
{
    SecureBytes line(kLongest);
    std::size_t size = 0;
    bool any = false;
    while (size < kLongest) {
        char c = 0;
#ifdef Q_OS_WIN
        const int got = ::_read(fd, &c, 1);
#else
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
#endif
        if (got <= 0)
            break;
        any = true;
        // One byte at a time: what follows the line stays for others.
        if (c == '\n')
            break;
        line.data()[size++] = static_cast<unsigned char>(c);
    }
    if (size > 0 && line.data()[size - 1] == '\r')
        --size;
    if (!any)
        return std::nullopt;
    return SecureBytes::copyOf(line.data(), size);
}

#ifndef Q_OS_WIN
// The terminal's settings while its echo is off, put back by a signal that
// ends the program meanwhile (Ctrl+C).
int echoTerminal = -1;
termios echoSettings;

void restoreEcho(int signal)
{
    if (echoTerminal >= 0)
        ::tcsetattr(echoTerminal, TCSAFLUSH, &echoSettings);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

} // namespace

std::optional<SecureBytes> ReadPasswordFrom(int fd)
{
    return readLine(fd);
}

std::optional<SecureBytes> AskPasswordOnTerminal(const QString& prompt)
{
#ifdef Q_OS_WIN
    (void)prompt;
    return std::nullopt;
#else
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return std::nullopt;
    const QByteArray shown = prompt.toLocal8Bit();
    termios settings{};
    const bool isTerminal = ::tcgetattr(tty, &settings) == 0;
    if (isTerminal) {
        echoTerminal = tty;
        echoSettings = settings;
        std::signal(SIGINT, restoreEcho);
        std::signal(SIGTERM, restoreEcho);
        std::signal(SIGHUP, restoreEcho);
        termios quiet = settings;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    (void)!::write(tty, shown.constData(), std::size_t(shown.size()));
    std::optional<SecureBytes> typed = readLine(tty);
    if (isTerminal) {
        ::tcsetattr(tty, TCSAFLUSH, &settings);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_DFL);
        echoTerminal = -1;
    }
    // The Return typed was not shown.
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    return typed;
#endif
}
