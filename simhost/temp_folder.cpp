#include "simhost/temp_folder.h"

#include <filesystem>
#include <random>

namespace simhost {

TempFolder::TempFolder(const std::string &prefix) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error)
        return;
    std::random_device seed;
    std::mt19937 random(seed());
    // create_directory reports false for a folder that already exists, so a name is never shared.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / (prefix + std::to_string(random()));
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.string();
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code error;
    if (!path_.empty())
        std::filesystem::remove_all(path_, error);
}

}  // namespace simhost
