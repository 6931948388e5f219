#include "web/maps/map_files.h"

#include <filesystem>
#include <fstream>

namespace web::maps {

namespace fs = std::filesystem;

bool valid_map_name(const std::string &name) {
    if (name.empty() || name.size() > 64 || name.find("..") != std::string::npos)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

bool resolve_inside(const std::string &dir, const std::string &relative, std::string *path, std::string *error) {
    std::error_code failed;
    const fs::path root = fs::canonical(dir, failed);
    if (failed) {
        *error = "game folder " + dir + ": " + failed.message();
        return false;
    }
    const fs::path asked(relative);
    for (const fs::path &part : asked)
        if (part == "..") {
            *error = relative + ": \"..\" is not allowed";
            return false;
        }
    if (asked.is_absolute()) {
        *error = relative + ": not relative to the game folder";
        return false;
    }
    const fs::path resolved = fs::weakly_canonical(root / asked, failed);
    const auto [end, unused] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
    (void)unused;
    if (failed || end != root.end()) {
        *error = relative + ": lies outside the game folder";
        return false;
    }
    *path = resolved.string();
    return true;
}

bool file_time(const std::string &path, std::int64_t *time) {
    std::error_code failed;
    const fs::file_time_type written = fs::last_write_time(path, failed);
    if (failed)
        return false;
    *time = std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    return true;
}

bool read_bounded(const std::string &path, std::uintmax_t largest, std::string *bytes, std::string *error) {
    std::error_code failed;
    if (!fs::is_regular_file(path, failed)) {
        *error = path + ": no such file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, failed);
    if (failed || size > largest) {
        *error = path + (failed ? ": " + failed.message() : ": larger than " + std::to_string(largest) + " bytes");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes->assign(static_cast<size_t>(size), '\0');
    in.read(bytes->data(), static_cast<std::streamsize>(size));
    // The file may have changed since: what was read is all that is taken, and never beyond the bound.
    bytes->resize(static_cast<size_t>(in.gcount()));
    if (!in && !in.eof()) {
        *error = path + ": cannot be read";
        return false;
    }
    return true;
}

}  // namespace web::maps
