#include "web/rcon/password_file.h"

#include <filesystem>
#include <fstream>

namespace web::rcon {
namespace {

// Far more than a password file holds; a larger file is not read.
const std::int64_t LARGEST_FILE = 4096;

}  // namespace

void PasswordFile::set_path(const std::string &path) {
    if (path == path_)
        return;
    path_ = path;
    seen_ = false;
    refresh();
}

bool PasswordFile::refresh() {
    std::error_code error;
    const std::int64_t size = path_.empty() ? -1 : static_cast<std::int64_t>(std::filesystem::file_size(path_, error));
    const std::int64_t time =
        error || path_.empty() ? 0 : std::filesystem::last_write_time(path_, error).time_since_epoch().count();
    const std::int64_t known_size = error ? -1 : size;
    if (seen_ && known_size == size_ && time == time_)
        return false;
    seen_ = true;
    size_ = known_size;
    time_ = time;
    std::string line;
    std::ifstream file(path_, std::ios::binary);
    const bool readable = known_size >= 0 && known_size <= LARGEST_FILE && file;
    if (readable) {
        std::getline(file, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    }
    // A quote would end the password early on the console line, a NUL would cut it: never sent.
    unusable_ = (known_size > LARGEST_FILE) || line.find_first_of(std::string("\"\0", 2)) != std::string::npos;
    password_ = unusable_ ? std::string() : line;
    return true;
}

}  // namespace web::rcon
