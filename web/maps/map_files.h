// The files of a game folder the gateway may read: only under the folder (no "..", no link out of
// it), only up to a size.
#pragma once

#include <cstdint>
#include <string>

namespace web::maps {

constexpr std::uintmax_t kLargestMapFile = std::uintmax_t{64} * 1024 * 1024;

// A map name as the files are named: letters, digits, '_', '-' and '.', no "..", at most 64.
bool valid_map_name(const std::string &name);

// DIR/RELATIVE resolved (links followed) and checked to lie inside DIR; false with the reason.
bool resolve_inside(const std::string &dir, const std::string &relative, std::string *path, std::string *error);

// The file's bytes and its modification time; false with the reason when missing, larger than
// `largest`, or unreadable.
bool read_bounded(const std::string &path, std::uintmax_t largest, std::string *bytes, std::string *error);
// The modification time in nanoseconds; false when the file is not there.
bool file_time(const std::string &path, std::int64_t *time);

}  // namespace web::maps
