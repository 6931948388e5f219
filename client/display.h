// Where the view goes: redrawn in place on a terminal, one snapshot after another elsewhere.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace client {

class Display {
public:
    explicit Display(std::FILE *out);
    bool terminal() const { return terminal_; }
    // Columns to render for: the requested number, else the terminal's, else 100.
    size_t width(size_t requested) const;
    // Replaces the screen on a terminal; otherwise appends, after a separating line.
    void show(const std::string &snapshot);
    // Bytes exactly as given.
    void raw(const std::string &bytes);

private:
    std::FILE *out_;
    bool terminal_;
    bool shown_any_ = false;
};

}  // namespace client
