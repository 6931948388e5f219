// The file holding a server's rcon password: its first line, read again whenever the file changes.
#pragma once

#include <cstdint>
#include <string>

namespace web::rcon {

class PasswordFile {
public:
    void set_path(const std::string &path);
    // Reads the file again when its size or time changed since the last look; true when it did.
    bool refresh();
    // The first line without its line end; empty when the file is missing, unreadable, or holds a
    // quote (the console line could not carry it).
    const std::string &password() const { return password_; }
    bool unusable() const { return unusable_; }

private:
    std::string path_;
    std::string password_;
    bool unusable_ = false;
    bool seen_ = false;
    std::int64_t size_ = -1;
    std::int64_t time_ = 0;
};

}  // namespace web::rcon
