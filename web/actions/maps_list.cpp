#include "web/actions/maps_list.h"

#include <algorithm>
#include <sstream>

#include "web/actions/arguments.h"

namespace web::actions {

std::vector<std::string> maps_in_answer(const std::string &answer) {
    std::vector<std::string> maps;
    std::istringstream lines(answer);
    std::string word;
    const std::string suffix = ".bsp";
    while (lines >> word && maps.size() < kMostMaps) {
        if (word.size() <= suffix.size() || word.compare(word.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        word.resize(word.size() - suffix.size());
        word = word.substr(word.find_last_of('/') + 1);  // "maps/de_dust.bsp" on some builds
        if (valid_map_name(word))
            maps.push_back(word);
    }
    std::sort(maps.begin(), maps.end());
    maps.erase(std::unique(maps.begin(), maps.end()), maps.end());
    return maps;
}

}  // namespace web::actions
