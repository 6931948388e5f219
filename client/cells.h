// Game text in fixed-width terminal columns: made safe to print, cut and padded.
#pragma once

#include <cstddef>
#include <string>

namespace view {

// Game text as it may reach a terminal: control bytes and malformed UTF-8 become '?', so that no
// player name or chat line can move the cursor or recolour the screen.
std::string printable(const std::string &text);
// Columns that printable text takes: one per character.
size_t columns(const std::string &text);
// Printable text cut to at most `width` columns, never inside a character.
std::string cut(const std::string &text, size_t width);
// Printable text cut and padded with spaces to exactly `width` columns.
std::string left(const std::string &text, size_t width);
std::string right(const std::string &text, size_t width);

}  // namespace view
