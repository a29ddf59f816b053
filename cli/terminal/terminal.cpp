#include "terminal/terminal.h"

#include "base/signals.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

// The terminal's modes while the answers are read, put back by whoever comes first: the query itself, or
// the end of the converter on a signal.
struct SavedModes {
    std::atomic<bool> held{false};
    int fd = -1;
    termios modes{};

    void restore() {
        if (held.exchange(false))
            tcsetattr(fd, TCSANOW, &modes);
    }
};

SavedModes& saved() {
    static SavedModes* s = [] {
        auto* modes = new SavedModes; // used by the signal thread, so never destroyed
        atSignalEnd([modes] { modes->restore(); });
        return modes;
    }();
    return *s;
}

// For a signal handler: the modes put back, if they are held.
void restoreSavedModes() {
    saved().restore();
}

// A channel of an X colour value (rgb:RRRR/GGGG/BBBB), 1 to 4 hex digits, as a fraction of its full value.
std::optional<double> channel(std::string_view hex) {
    if (hex.empty() || hex.size() > 4)
        return std::nullopt;
    unsigned value = 0;
    for (char c : hex) {
        const int digit =
            std::isxdigit(static_cast<unsigned char>(c))
                ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10)
                : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + unsigned(digit);
    }
    return double(value) / double((1u << (4 * hex.size())) - 1);
}

// The answer to the device-attributes request has come: ESC [ ? ... c.
bool attributesAnswered(const std::string& got) {
    const size_t start = got.find("\x1b[?");
    return start != std::string::npos && got.find('c', start) != std::string::npos;
}

} // namespace

std::optional<px::Size> terminalSize(int fd) {
    winsize size{};
    if (!::isatty(fd) || ::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return std::nullopt;
    return px::Size{size.ws_col, size.ws_row};
}

std::optional<px::Size> terminalCell(int fd) {
    winsize size{};
    if (!::isatty(fd) || ::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0 ||
        size.ws_xpixel < size.ws_col || size.ws_ypixel < size.ws_row)
        return std::nullopt;
    return px::Size{size.ws_xpixel / size.ws_col, size.ws_ypixel / size.ws_row};
}

std::optional<Background> backgroundOfAnswer(std::string_view answer) {
    const size_t at = answer.find("rgb:");
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = answer.substr(at + 4);
    double rgb[3] = {};
    for (int i = 0; i < 3; ++i) {
        const size_t end = i < 2 ? rest.find('/') : rest.find_first_of("\x07\x1b");
        const std::optional<double> value = channel(rest.substr(0, end));
        if (!value)
            return std::nullopt;
        rgb[i] = *value;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2] < 0.5 ? Background::Dark : Background::Light;
}

std::optional<Background> backgroundOfColorFgBg(const char* value) {
    if (!value)
        return std::nullopt;
    const std::string_view text(value);
    const std::string_view last =
        text.substr(text.rfind(';') == std::string_view::npos ? 0 : text.rfind(';') + 1);
    if (last.empty() || last.size() > 2 || last.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const int colour = std::atoi(std::string(last).c_str());
    if (colour > 15)
        return std::nullopt;
    return colour == 7 || colour >= 9 ? Background::Light : Background::Dark;
}

bool mayAskTerminal(const char* term) {
    return term && *term && std::strcmp(term, "dumb") != 0;
}

art::Palette paletteOfEnvironment(const char* colorTerm, const char* term) {
    if (colorTerm && (strcasecmp(colorTerm, "truecolor") == 0 || strcasecmp(colorTerm, "24bit") == 0))
        return art::Palette::TrueColor;
    if (term && std::strstr(term, "256color"))
        return art::Palette::Xterm256;
    return art::Palette::Ansi16;
}

namespace {

// Ctrl-Z or Ctrl-\ while the answers are awaited: the terminal's modes are put back first, then the signal
// does what it always does (stops the converter, or ends it). Once continued, the query is over.
std::atomic<bool> abandoned{false};

void putBackAndStop(int signal) {
    const int saved = errno;
    restoreSavedModes();
    abandoned = true;
    std::raise(signal); // the handler was reset to the default as it was entered, and the signal not held
    errno = saved;
}

// The dispositions of the signals that stop or quit, kept while the query runs.
class StopSignals {
  public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = putBackAndStop;
        action.sa_flags = SA_RESETHAND | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &action, &old_[i]);
    }
    ~StopSignals() {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &old_[i], nullptr);
    }

  private:
    static constexpr int kSignals[] = {SIGTSTP, SIGQUIT};
    struct sigaction old_[std::size(kSignals)]{};
};

} // namespace

std::optional<Background> askBackground(int input, int output, int timeoutMs) {
    struct stat in {
    }, out{};
    if (!::isatty(input) || !::isatty(output) || ::fstat(input, &in) != 0 || ::fstat(output, &out) != 0 ||
        in.st_rdev != out.st_rdev)
        return std::nullopt;
    // A converter in the background of its shell would be stopped for changing the terminal's modes.
    if (::tcgetpgrp(input) != ::getpgrp())
        return std::nullopt;
    // What the user typed ahead is the shell's: it would be read with the answers.
    int waiting = 0;
    if (::ioctl(input, FIONREAD, &waiting) != 0 || waiting > 0)
        return std::nullopt;
    SavedModes& modes = saved();
    if (::tcgetattr(input, &modes.modes) != 0)
        return std::nullopt;
    termios quiet = modes.modes;
    quiet.c_lflag &= tcflag_t(~(ICANON | ECHO));
    quiet.c_cc[VMIN] = 0;
    quiet.c_cc[VTIME] = 0;
    modes.fd = input;
    abandoned = false;
    const StopSignals stopSignals;
    modes.held = true;
    if (::tcsetattr(input, TCSANOW, &quiet) != 0) {
        modes.held = false;
        return std::nullopt;
    }
    static constexpr char kQuery[] = "\x1b]11;?\x1b\\\x1b[c";
    std::string got;
    if (::write(output, kQuery, sizeof kQuery - 1) == ssize_t(sizeof kQuery - 1)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        // A byte at a time: nothing after the last answer's end is taken from the shell.
        while (!attributesAnswered(got) && got.size() < 4096 && !abandoned) {
            char c = 0;
            const ssize_t n = ::read(input, &c, 1);
            if (n == 1) {
                got.push_back(c);
                continue;
            }
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fd{input, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) == 0 ||
                (fd.revents & (POLLHUP | POLLERR | POLLNVAL)))
                break;
        }
    }
    modes.restore();
    const size_t osc = got.find("\x1b]11;");
    return osc == std::string::npos ? std::nullopt : backgroundOfAnswer(std::string_view(got).substr(osc));
}

} // namespace cli
