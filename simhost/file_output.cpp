#include "simhost/file_output.h"

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#define process_id _getpid
#else
#include <unistd.h>
#define process_id getpid
#endif

namespace simhost {

bool write_whole_file(const std::string &path, const std::string &bytes) {
    const std::filesystem::path file(path);
    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    std::filesystem::path part = file;
    part += ".part" + std::to_string(process_id());
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(part, error);
            return false;
        }
    }
    std::filesystem::rename(part, file, error);
    const bool renamed = !error;
    if (!renamed)
        std::filesystem::remove(part, error);
    return renamed;
}

}  // namespace simhost
