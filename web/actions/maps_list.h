// The maps a server offers, from its console's answer to `maps *` (one "NAME.bsp" a line among
// headings): the names a change of map may take, sorted, each once.
#pragma once

#include <string>
#include <vector>

namespace web::actions {

constexpr size_t kMostMaps = 1000;

std::vector<std::string> maps_in_answer(const std::string &answer);

}  // namespace web::actions
