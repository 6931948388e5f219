#include "client/render.h"

#include "client/cells.h"
#include "client/sections.h"

namespace view {
namespace {

std::string fitted(const std::string &line, size_t width) {
    std::string shown = cut(printable(line), width);
    while (!shown.empty() && shown.back() == ' ')
        shown.pop_back();
    return shown + "\n";
}

void append(std::string &text, const Lines &section, size_t width) {
    if (section.empty())
        return;
    if (!text.empty())
        text += "\n";
    for (const std::string &line : section)
        text += fitted(line, width);
}

}  // namespace

std::string render(const State &state, size_t width) {
    std::string text;
    append(text, server_lines(state), width);
    append(text, player_lines(state, width), width);
    append(text, objective_lines(state), width);
    append(text, chat_lines(state), width);
    return text;
}

}  // namespace view
