// PNG files of RGB pictures: one IDAT deflated by zlib, rows unfiltered.
#pragma once

#include <string>

#include "web/maps/image.h"

namespace web::maps {

// The file's bytes; empty when zlib fails.
std::string encode_png(const Image &image);

}  // namespace web::maps
