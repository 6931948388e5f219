// What the page draws under a server's radar: the map's overview image when the game folder has
// one, else a floor plan of its map file, as PNG with the mapping from world positions to pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "web/maps/image.h"

namespace web::maps {

struct MapPicture {
    bool found = false;  // false: no map file (or none usable); the page keeps its grid
    std::string source;  // "overview" or "plan"
    int width = 0, height = 0;
    double x_offset = 0, y_offset = 0;
    Transform transform;
    std::string png;
    std::string etag;            // quoted, changes with the picture
    std::int64_t file_time = 0;  // the map file's, when it was read
};

// Reads GAME_DIR/maps/MAP.bsp and GAME_DIR/overviews/MAP.txt with its image. Problems are written to
// *problems (one line each) and give a picture without the overview, or no picture at all.
MapPicture make_map_picture(const std::string &game_dir, const std::string &map, std::string *problems);

}  // namespace web::maps
