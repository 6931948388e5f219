// The state as text for a terminal: pure, state in and text out, so that it can be checked.
#pragma once

#include <cstddef>
#include <string>

#include "stream/view_state.h"

namespace view {

// Every line fits `width` columns, ends with "\n", and carries no trailing spaces.
std::string render(const State &state, size_t width);

}  // namespace view
