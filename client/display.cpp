#include "client/display.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace client {

namespace {
const size_t kDefaultWidth = 100;
const char kClearScreen[] = "\x1b[H\x1b[2J";
}  // namespace

Display::Display(std::FILE *out) : out_(out), terminal_(isatty(fileno(out)) == 1) {}

size_t Display::width(size_t requested) const {
    if (requested > 0)
        return requested;
    winsize size{};
    if (terminal_ && ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultWidth;
}

void Display::show(const std::string &snapshot) {
    if (terminal_)
        std::fputs(kClearScreen, out_);
    else if (shown_any_)
        std::fputs("----\n", out_);
    std::fwrite(snapshot.data(), 1, snapshot.size(), out_);
    std::fflush(out_);
    shown_any_ = true;
}

void Display::raw(const std::string &bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), out_);
    std::fflush(out_);
}

}  // namespace client
