// The parts of the rendered view, each a list of lines (not yet cut to the screen's width).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "stream/view_state.h"

namespace view {

using Lines = std::vector<std::string>;

Lines server_lines(const State &state);
// The player table, its name column as wide as `width` allows.
Lines player_lines(const State &state, size_t width);
Lines objective_lines(const State &state);
Lines chat_lines(const State &state);

}  // namespace view
