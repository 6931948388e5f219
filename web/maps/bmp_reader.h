// Windows bitmaps as overview images come: uncompressed, 8 bits with a palette or 24 bits.
#pragma once

#include <string>

#include "web/maps/image.h"

namespace web::maps {

// Pictures larger than this on a side are refused.
constexpr int kLargestImageSide = 4096;

// False with the reason for anything else, or a file shorter than its header says.
bool read_bmp(const std::string &bytes, Image *image, std::string *error);

}  // namespace web::maps
