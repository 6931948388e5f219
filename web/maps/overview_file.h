// The game's spectator overview: overviews/MAP.txt, which names the image drawn under the players and
// where the world lies on it.
#pragma once

#include <string>

#include "web/maps/image.h"

namespace web::maps {

struct Overview {
    double zoom = 1.0;
    double origin[3] = {0, 0, 0};
    int rotated = 0;
    std::string image;  // relative to the game folder
    double height = 0;
};

// The file's text as the game reads it: words, quoted words and // comments; global and layer blocks.
// The first layer is taken, later ones ignored. False with the reason for an unknown key, a block
// without '{', a missing number or no layer image.
bool parse_overview(const std::string &text, Overview *overview, std::string *error);

// From world x/y to the pixels of a width x height image drawn as the game draws the overview.
Transform overview_transform(const Overview &overview, int width, int height);

}  // namespace web::maps
