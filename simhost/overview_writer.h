// The spectator overview some maps come with: overviews/MAP.txt naming an 8-bit BMP of the map seen
// from above, its ORIGIN the world box's centre and its ZOOM fitting the box on the image.
#pragma once

#include <string>

#include "simhost/map_catalog.h"
#include "simhost/map_layout.h"

namespace simhost {

const int OVERVIEW_WIDTH = 1024;
const int OVERVIEW_HEIGHT = 768;

// Writes ROOT/overviews/MAP.txt and ROOT/overviews/MAP.bmp (ROTATED 1: x to the right, y up).
bool write_overview(const std::string &root, const std::string &map, const MapBox &box, const MapLayout &layout);

}  // namespace simhost
