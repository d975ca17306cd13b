#include "programs/jpeg2bmp/console.h"

#include <cstdio>
#include <cstdlib>

#include "core/messages.h"

#ifdef _WIN32

void console_wait() {
    std::fflush(stdout);
    std::system("pause");
}

#else

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

termios saved_mode;

// An interrupt during the wait must not leave the terminal without echo.
void restore_and_reraise(int signal_number) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

}  // namespace

// Stands in for "pause" where there is no such command. Piped runs have no
// one to press a key, so they do not wait.
void console_wait() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_mode) != 0) return;
    std::fputs(text::press_any_key().c_str(), stdout);
    std::fflush(stdout);
    tcflush(STDIN_FILENO, TCIFLUSH);

    termios raw = saved_mode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    auto old_int = std::signal(SIGINT, restore_and_reraise);
    auto old_term = std::signal(SIGTERM, restore_and_reraise);
    auto old_hup = std::signal(SIGHUP, restore_and_reraise);
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        char key = 0;
        // A read that fails or meets the end of input ends the wait too.
        while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
        }
        // A key such as an arrow sends several bytes at once: the rest of
        // them goes with the first, not on to the shell.
        tcflush(STDIN_FILENO, TCIFLUSH);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    }
    std::signal(SIGINT, old_int);
    std::signal(SIGTERM, old_term);
    std::signal(SIGHUP, old_hup);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

#endif
