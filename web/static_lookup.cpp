#include "web/static_files.h"

namespace web {

const StaticFile *find_static_file(const std::string &path) {
    const std::string wanted = path == "/" ? "/index.html" : path;
    for (const StaticFile &file : static_files())
        if (wanted == file.path)
            return &file;
    return nullptr;
}

}  // namespace web
