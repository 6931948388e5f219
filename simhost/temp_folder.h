// A folder of this process's own under the system's temporary folder, removed with everything in
// it when the object goes.
#pragma once

#include <string>

namespace simhost {

class TempFolder {
public:
    explicit TempFolder(const std::string &prefix);
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // Empty when no folder could be made.
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

}  // namespace simhost
